// Stand-ins for the course's streaming-media files and for the bulk of a
// large CD: bytes that look like their kind at the start and are otherwise
// filler. Nothing plays them; the installer only looks at their names.
#pragma once

#include <cstdint>
#include <string>

namespace sample {

// An ASF container (asf, wmv, wma) of about size bytes: the ASF header
// object's id, then pseudo-random bytes derived from seed.
std::string FakeAsf(std::size_t size, std::uint64_t seed);
// An asx play list naming the clips.
std::string AsxPlaylist(const std::string& title, std::initializer_list<std::string> clips);
// A placeholder Windows program: "MZ" and filler, so that it is never taken
// for a Linux executable.
std::string FakeWindowsProgram(const std::string& name);
// A GBK page of about size bytes.
std::string FillerPage(const std::string& title, std::size_t size);

}  // namespace sample
