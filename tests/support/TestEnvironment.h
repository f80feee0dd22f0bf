#pragma once

// Every test program runs in a sandbox of its own: region names with a prefix unique to the run, a
// private TMPDIR for fallback region files and a private HOME for settings. The real user's buses,
// files and configuration are never touched.

#include <string>

namespace TestEnvironment
{
/** Sets up the sandbox; call first thing in main. */
void enter(const char* programName);

/** Removes the run's shared-memory objects and its folder. */
void leave();

/** The run's private folder (TMPDIR and HOME live below it). */
const std::string& folder();

/** A fresh empty folder below the run's folder. */
std::string makeFolder(const std::string& name);

/** Unlinks the run's shared-memory objects of all eight buses. */
void removeRegions();
} // namespace TestEnvironment
