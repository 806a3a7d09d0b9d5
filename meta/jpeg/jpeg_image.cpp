#include "meta/jpeg/jpeg_image.h"
void TJPEGImage::LoadFile(const std::string&) {}
void TJPEGImage::LoadBytes(std::string bytes) { FBytes = std::move(bytes); }
