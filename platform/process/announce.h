// Announcements: a started program tells the program that started it what
// it is doing, one short line at a time (the installer announces its CD
// prompt, so that the setup step can put the next disc in while the prompt
// waits). The starter opens an inbox and hands its name to the program in
// the environment; a program started without one announces into nothing.
#pragma once

#include <memory>
#include <string>

#include "platform/error/error.h"
#include "platform/process/process.h"

// The environment variable that names the starter's inbox.
constexpr char kAnnounceVariable[] = "TELVORA_ANNOUNCE";

// Sends one line (at most a few hundred bytes) to the inbox named in the
// environment. Never blocks and never fails the caller: without an inbox, or
// when nobody listens any more, the line is dropped.
void Announce(const std::string& line);

class CAnnouncementInbox {
public:
    CAnnouncementInbox();
    ~CAnnouncementInbox();  // closes and removes the inbox
    CAnnouncementInbox(const CAnnouncementInbox&) = delete;
    CAnnouncementInbox& operator=(const CAnnouncementInbox&) = delete;

    // Makes the inbox (a private socket); false with the last error set.
    bool Open();
    // What a started program needs in its environment to reach the inbox.
    EnvChange Environment() const;
    // Waits for the next line: true with *line, false after timeoutMs
    // (INFINITE-like values wait for ever) or when the inbox is not open.
    bool Receive(std::string* line, DWORD timeoutMs);
    // Ends a Receive waiting on another thread: that call returns true with
    // an empty line, after every line sent before Wake.
    void Wake();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
