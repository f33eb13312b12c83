// End-to-end tests run the built programs (found through TELVORA_BIN) in a
// fresh prefix per test, headless, with an answer file and a transcript.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

// One transcript line: a flat JSON object. Strings are kept as UTF-8,
// numbers and truth values as their text.
using TranscriptEvent = std::map<std::string, std::string>;

// Parses one flat JSON object; false when the line is not one.
bool ParseJsonLine(const std::string& line, TranscriptEvent* event);

// The exit statuses the installer's quit codes leave (their low 8 bits).
constexpr int kInstallMediaCopied = 1011 & 0xFF;
constexpr int kInstallMediaSkipped = 1012 & 0xFF;

class E2eTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A program built beside the others.
    static std::string Bin(const std::string& name);

    // Runs a program headless with this answer file text (GBK, as the tests'
    // literals are; written to a file in UTF-8 for the run) and the test's
    // transcript; returns its exit status.
    int Run(const std::string& program, const std::vector<std::string>& args,
            const std::string& answers = "");
    // Writes the sample course into m_root/<name>/cd1 and cd2.
    std::string MakeSample(const std::string& name, const std::vector<std::string>& extra = {});

    // A course folder made the way the setup step makes it, without running
    // anything: setup.ini from the CD (nowcd 1), the CD's systeminfo folder,
    // installasf.txt, the registry record, bin/install linked to the
    // installer. The CD folder is mapped as E:. Returns the course folder.
    std::string PrepareCourse(const std::string& cdDir, bool copyMedia);
    // Runs the course's installer (bin/install).
    int RunInstall(const std::string& courseDir, const std::string& answers = "");

    // The transcript so far, and the events of one kind.
    std::vector<TranscriptEvent> Transcript() const;
    std::vector<TranscriptEvent> Events(const std::string& ev) const;
    // Codes of the "exit" events of a program, in order.
    std::vector<int> ExitCodes(const std::string& program) const;
    // Texts shown in a dialog's control, in order.
    std::vector<std::string> Texts(int dialog, int control) const;
    // Message box texts, in order.
    std::vector<std::string> BoxTexts() const;

    // The default value of HKCU\<key> (GBK), or "<missing>".
    static std::string RegDefault(const std::string& key);

    static std::string ReadFile(const std::string& path);
    static void WriteFile(const std::string& path, const std::string& bytes);
    // Files below dir (relative paths, UTF-8), sorted.
    static std::vector<std::string> FilesBelow(const std::string& dir);
    static bool IsMediaName(const std::string& path);
    // A path with GBK components written to disk as UTF-8.
    static std::string U(const std::string& gbk);

    std::string m_root;
    std::string m_transcript;
};
