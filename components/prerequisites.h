// The prerequisites stage: the missing components, listed and installed
// before the product.
#pragma once

namespace setup {

struct Session;

constexpr const char* kPrerequisiteSections = "PreReq%d";
constexpr const char* kPostRequisiteSections = "PostReq%d";

// 1: go on with the product; 0: the user refused to continue; 2: the user
// cancelled; -1: the dialog could not be created. `restart` tells whether a
// component asked for a restart.
int RunPrerequisites(Session& session, const char* sectionPattern, bool& restart);

}  // namespace setup
