// The checker's runs ("Launch Test") and the audio side they read. The audio side opens with the
// main window, in a first collection pass that asks the first run's drivers too, and closes with
// it. A run reads a collection pass (the first run the opening one), checks the catalogued
// drivers and renders its reports into the log view, the What To Do view and the "-o" file.
#pragma once

#include <windows.h>

void openAudioSide();
void closeAudioSide();

struct FixList;

// One run; after it a hidden start ends the program, or with "-s" shows the window. With "-fix"
// the first run's fixes are made and the run is made again before that.
void launchRun(HWND window);
// A run that tests again after the fixes (null: none told) the window made.
void launchRunAfterFixes(HWND window, const FixList* fixes);
