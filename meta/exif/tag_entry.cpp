#include "meta/exif/tag_entry.h"

const TTagEntry BlankTag{};
