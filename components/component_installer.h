// Installs components: the post-requisite programs after the product.
#pragma once

namespace setup {

struct Session;

// Runs every post-requisite component in order; a component that returns
// 3010 sets `restart`.
void InstallPostRequisites(Session& session, bool& restart);

}  // namespace setup
