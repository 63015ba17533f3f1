// Test-side readers that turn MOD and S3M bytes back into the song model, written from the file
// layouts alone (not from the writers), so a round trip shows both agree with the layout.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "formats/Song.h"

namespace mkdata::test {

// nullopt (with the reason in `error`) when the bytes are not a well-formed file of that kind.
std::optional<music::Song> ReadMod(std::span<const uint8_t> bytes, std::string& error);
std::optional<music::Song> ReadS3m(std::span<const uint8_t> bytes, std::string& error);

}  // namespace mkdata::test
