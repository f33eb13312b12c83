// A JavaScript engine holding the runtime and a small stand-in for the old
// browser (window, document with a form, frames, alert/confirm/prompt that
// record what they were asked, console.warn), in which translated code runs.
#pragma once

#include <QJSEngine>
#include <QJSValue>
#include <string>
#include <string_view>
#include <vector>

#include "browser/vbscript/vbscript.h"

// Text written as u8"..." (the sources' narrow literals are GBK).
std::string Utf8(const char8_t* text);

class CJsHarness {
public:
    CJsHarness();

    // Translates a script block and runs it at the top level; a JavaScript
    // exception fails the test (it is returned as text, else "").
    std::string Run(std::string_view vbs);
    // The same for an event handler's text, run as a handler of thisJs.
    std::string RunHandler(std::string_view vbs, const std::string& thisJs);
    // A VBScript expression's value as VBScript shows it (CStr).
    std::string Vb(std::string_view expression);
    // A JavaScript expression's value, String()-converted, as UTF-8.
    std::string Js(const std::string& js);

    // What the page asked: "alert:text", "confirm:text", "prompt:text".
    std::vector<std::string> Dialogs();
    // console.warn messages.
    std::vector<std::string> Warnings();
    // Answers for the next confirm/prompt calls ("true", "false", "'text'", "null").
    void Answer(const std::string& jsValues);

    QJSEngine& Engine() { return m_engine; }

private:
    std::string Execute(const std::string& js);
    std::vector<std::string> List(const char* name);

    QJSEngine m_engine;
};

// Whether text parses as JavaScript (without running it).
bool ParsesAsJs(QJSEngine* engine, const std::string& text);
