#pragma once

// A look at an existing bus region from outside the sending side: programs that inspect a bus or
// listen on it as a receiver. Nothing here ever creates, sizes or initialises a region; a bus that
// has none is reported as missing.

#include "voicebus/Region.h"

#include <cstdint>
#include <string>

namespace VoiceBus
{
enum class RegionSource
{
    none,
    sharedMemory,
    file
};

enum class RegionState
{
    missing,          // neither the shared-memory object nor the fallback file exists
    unusable,         // found, but cannot be opened as asked or is not a plain single file
    tooShort,         // shorter than regionSize: mapping it could fault, so it is not mapped
    neverInitialised, // full size, tag 0
    current,          // full size, tag layoutMagic: mapped
    foreign           // full size, another layout's tag
};

class RegionView
{
public:
    enum class Access
    {
        readOnly, // for looking only; writing through `region` would fault
        readWrite // for a receiver, which changes receiverHeartbeat
    };

    RegionView() = default;
    ~RegionView();
    RegionView(RegionView&& other) noexcept;
    RegionView& operator=(RegionView&& other) noexcept;
    RegionView(const RegionView&) = delete;
    RegionView& operator=(const RegionView&) = delete;

    /** Finds the region of `bus` (0 ... 7) where an endpoint would: the shared-memory object first,
        then the fallback file under $TMPDIR, which is never followed through a link. Opens it without
        O_CREAT and keeps it mapped only when it carries this layout's tag. */
    static RegionView open(int bus, Access access);

    RegionState state = RegionState::missing;
    RegionSource source = RegionSource::none;
    std::string location;     // the object's name or the file's path that was looked at last
    uint64_t size = 0;        // bytes, once opened
    uint32_t magic = 0;       // the tag as found, for full-size regions
    int error = 0;            // errno behind `unusable`; 0 when the object is not a plain single file
    Region* region = nullptr; // mapped exactly when state is current

private:
    void release() noexcept;
};

/** A few words for a state: "no region", "current", "foreign layout", ... */
const char* describe(RegionState state) noexcept;
} // namespace VoiceBus
