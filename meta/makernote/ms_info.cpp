#include "meta/makernote/ms_info.h"

#include "meta/exif/image_info.h"
#include "meta/makernote/maker_rules.h"

namespace {

// Sets a byte order for one walk and puts the previous one back on every way
// out, an exception included.
class tByteOrderScope {
public:
    tByteOrderScope(tEndInd& target, bool bigEndian) : FTarget(target), FSaved(target.BigEndian)
    {
        FTarget.BigEndian = bigEndian;
    }
    ~tByteOrderScope() { FTarget.BigEndian = FSaved; }
    tByteOrderScope(const tByteOrderScope&) = delete;
    tByteOrderScope& operator=(const tByteOrderScope&) = delete;

private:
    tEndInd& FTarget;
    bool FSaved;
};

}  // namespace

TmsInfo::TmsInfo(bool tiffMode, TImageInfo* decoder) : FTiffMode(tiffMode), FDecoder(decoder) {}

bool TmsInfo::DecodeMakerNote()
{
    (void)FTiffMode;
    const tMakerRule* rule = ChooseMakerRule(FDecoder->MakeText, FDecoder->MakerNoteBytes);
    if (!rule) return false;
    const tMakerWalk walk = MakerWalkFor(*rule, FDecoder->MakerNotePos, FDecoder->MakerNoteBytes);
    const tByteOrderScope order(*FDecoder, !walk.LittleEndian && (walk.BigEndian || FDecoder->BigEndian));
    FDecoder->WalkMakerDirectory(FDecoder->MakerNoteBytes, walk.Table, walk.DirOffset, walk.MakerBase,
                                 walk.BlockBase);
    return true;
}
