// The page's link to the maker's site, and the blinking notice of a newer version.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lark {

class PageSurface;
struct RenameState;

// The page's step on each tick: once the update check has found a newer version, the link
// says so and blinks, showing and hiding on alternate ticks, and a click opens the
// address the check vouched for (the maker's site until then). The forms with a version
// and hosts are this module's own version and hosts made explicit, for tests.
void pollUpdateLink(RenameState& state, PageSurface& page);
void pollUpdateLink(RenameState& state, PageSurface& page, std::uint32_t ownVersion);
void pollUpdateLink(RenameState& state, PageSurface& page, std::uint32_t ownVersion,
                    const std::vector<std::wstring>& hosts);

}  // namespace lark
