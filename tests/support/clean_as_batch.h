#pragma once
// Drives a format as the batch run does, for the formats' tests.

#include <functional>
#include <memory>
#include <string>

#include "meta/clean/picture_file.h"

namespace fixture {

// Scans with `scan`, then plans and writes into a file in `folder` with the
// check before publish: the written bytes, "unchanged" when the choices
// remove nothing, or "refused: " and the reason of a damaged or uncleanable
// file.
std::string CleanAsBatch(const std::function<std::unique_ptr<tPictureFile>()>& scan, const std::string& folder,
                         const std::string& source, const tChoices& choices);

}  // namespace fixture
