#pragma once

// The exit codes of tonquill-bus. Scripts rely on these numbers: never renumber one.

namespace BusTool
{
enum ExitCode : int
{
    success = 0,           // also when listen or record ends on Ctrl-C
    failure = 1,           // anything unexpected
    badUsage = 2,          // unknown command or option, missing or extra argument, bad value
    unknownBus = 3,        // the bus is not a letter A to H
    noRegion = 4,          // nothing exists for the bus: no sender has opened it
    foreignLayout = 5,     // the region is laid out by another version: not attached
    outputNotWritable = 6, // the recording cannot be written
    regionUnusable = 7     // too short, never initialised, not a plain file or not accessible
};
} // namespace BusTool
