// A standalone executable carries its script at its end: the script bytes,
// their length as 8 bytes little-endian, then the 13 bytes "DREVEL_SCRIPT".
#pragma once

#include <optional>
#include <string>

namespace drevel {

inline constexpr char kTrailerMarker[] = "DREVEL_SCRIPT";
inline constexpr size_t kTrailerMarkerSize = 13;
inline constexpr size_t kTrailerSize = kTrailerMarkerSize + 8;
inline constexpr uint64_t kMaxEmbeddedScript = 100000000;

// The script embedded in the running executable, or nothing. Never reports.
std::optional<std::string> load_embedded_script();

// The same check on any file; a corrupt or absent trailer gives nothing.
std::optional<std::string> read_embedded_script(const std::string& path);

} // namespace drevel
