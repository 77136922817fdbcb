// Opening the product's HTML Help file at a keyword's topic.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

// Looks Keyword up in Group (HelpContextOf) and hands the context number to HtmlHelpA with
// Command; returns what HtmlHelpA returns, or null when HTML Help is not installed.
HWND ShowHelpTopic(HWND caller, const std::string& helpFile, const std::string& keyword, UINT command,
                   const std::string& group);

// The help button: opens "TORVA.chm" of HelpFolder at the manager's topic (ManagerHelpFilePath).
void ShowManagerHelp(const std::string& helpFolder);

// True when hhctrl.ocx is installed and exports HtmlHelpA (loads it on first use).
bool HtmlHelpAvailable();

// Tests replace the HtmlHelpA entry point (arguments as HtmlHelpA takes them); empty restores it.
using HtmlHelpFunction = std::function<HWND(HWND caller, const char* file, UINT command, DWORD_PTR data)>;
void SetHtmlHelpFunction(HtmlHelpFunction fn);
