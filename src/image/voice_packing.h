#pragma once
// Packing a group's voices side by side before its build: the packer is slow and each voice is
// independent, so a first build of a large group would otherwise leave all but one core idle.
#include <functional>
#include <string>
#include <vector>

// Every voice file the build of the group would look up: the route and terminal voices, the stop
// voices and the voice files of the templates its stops use, each once, in the order found.
// Nothing is shown; files that cannot be read are simply not listed.
std::vector<std::string> GroupVoiceFiles(const std::string& groupFile);

// Makes the packed files of all of them current on `threads` threads (0: one per core). Failures
// are left for the build to find and report. `packing`, when given, is told each file as a thread
// takes it up, on that thread.
void PackGroupVoices(const std::string& groupFile, unsigned threads,
                     const std::function<void(const std::string& file)>& packing = {});
