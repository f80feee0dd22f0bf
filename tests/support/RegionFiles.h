#pragma once

// Direct access to a bus's shared-memory object or fallback file, independent of the endpoint, so
// tests can prepare what an open finds and check what it leaves behind.

#include "voicebus/Region.h"

#include <optional>
#include <string>
#include <vector>

namespace RegionFiles
{
using Bytes = std::vector<unsigned char>;

/** The bytes of the bus's shared-memory object, or nothing when it does not exist. */
std::optional<Bytes> readObject(int bus);

/** Creates or replaces the bus's shared-memory object with exactly these bytes. */
void writeObject(int bus, const Bytes& bytes);

std::optional<Bytes> readFile(const std::string& path);
void writeFile(const std::string& path, const Bytes& bytes);

/** A full region's bytes with the given tag and a recognisable pattern everywhere else. */
Bytes patternedRegion(uint32_t magic);

uint32_t magicOf(const Bytes& bytes);
} // namespace RegionFiles
