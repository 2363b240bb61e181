// The link's text, visibility and address, from what the update check found.
#include "ui/update_link.h"

#include "engine/page_controls.h"
#include "engine/platform.h"
#include "engine/rename_state.h"
#include "update/update_checker.h"

namespace lark {

void pollUpdateLink(RenameState& state, PageSurface& page, std::uint32_t ownVersion,
                    const std::vector<std::wstring>& hosts) {
  UpdateFinding found = findUpdate(state.updateChecker.get(), ownVersion, hosts);
  if (!found.newerVersion) return;
  page.setControlText(kSiteLink, L"Update Available - Click Here!");
  page.showControl(kSiteLink, state.updateLinkVisible);
  // A newer version is announced even when its address is not followed.
  if (!found.address.empty()) state.siteUrl = std::move(found.address);
  state.updateLinkVisible = !state.updateLinkVisible;
}

void pollUpdateLink(RenameState& state, PageSurface& page, std::uint32_t ownVersion) {
  pollUpdateLink(state, page, ownVersion, linkHosts());
}

void pollUpdateLink(RenameState& state, PageSurface& page) { pollUpdateLink(state, page, moduleVersion()); }

}  // namespace lark
