#include "tests/support/clean_as_batch.h"

#include <unistd.h>

#include <gtest/gtest.h>

namespace fixture {

std::string CleanAsBatch(const std::function<std::unique_ptr<tPictureFile>()>& scan, const std::string& folder,
                         const std::string& source, const tChoices& choices)
{
    try {
        const std::unique_ptr<tPictureFile> picture = scan();
        if (!picture->Removes(choices)) return "unchanged";
        const tPlan& plan = picture->Plan(choices);
        tPendingFile out(std::make_shared<const tOutputFolder>(folder, "out", true), "out");
        picture->Write(plan, out, source, choices);
        std::string bytes(static_cast<size_t>(::lseek(out.Fd(), 0, SEEK_END)), '\0');
        EXPECT_TRUE(ReadAt(out.Fd(), bytes.data(), bytes.size(), 0));
        return bytes;
    } catch (const EDamagedFile& e) {
        return std::string("refused: ") + e.what();
    } catch (const ECannotClean& e) {
        return std::string("refused: ") + e.what();
    }
}

}  // namespace fixture
