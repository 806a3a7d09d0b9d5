#pragma once
// A JPEG file as the format table sees it: the image container behind the
// format-neutral questions.

#include <memory>
#include <string>
#include <string_view>

#include "meta/clean/picture_file.h"
#include "meta/jpeg/img_data.h"

bool LooksLikeJpeg(std::string_view first);
std::unique_ptr<tPictureFile> ScanJpeg(tFileHandle file, const struct stat& st, const std::string& name,
                                       bool listing);

class tJpegFile : public tPictureFile {
public:
    explicit tJpegFile(std::unique_ptr<TimgData> data);
    tFileType Type() const override { return tFileType::Jpeg; }
    // Also asks every further picture the MPF index names; raises "Damaged
    // JPEG header in picture N of FILE" when one cannot be read.
    bool Removes(const tChoices& choices) override;
    const tPlan& Plan(const tChoices& choices) override;
    // The container writes and reads back the heads of every picture.
    void Write(const tPlan& plan, tPendingFile& out, const std::string& source, const tChoices& choices) override;

    int SourceFd() const override { return FData->SourceFd(); }
    TimgData& Data() { return *FData; }

private:
    std::unique_ptr<TimgData> FData;
    tOutputPlan FPlan;
};
