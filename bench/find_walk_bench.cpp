// Walks a generated tree of 100 000 empty files in 1 000 folders with the finder's
// "*.jpg;*.jpeg" and with `find DIR -iname '*.jpg'`, and reports files per second.
//
//   bench_find_walk [DIR]   (DIR is created and filled when it does not exist;
//                            without DIR a temporary tree is made and removed)
#include "find/find_text.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kTopFolders = 10;
constexpr int kSubFolders = 99;      // per top folder: 10 + 10 * 99 = 1 000 folders
constexpr int kFilesPerFolder = 100;  // 1 000 * 100 = 100 000 files
constexpr int kRuns = 5;              // median of these, after one warm-up

void Touch(const std::string& path)
{
    if (FILE* f = std::fopen(path.c_str(), "wb")) std::fclose(f);
}

void FillFolder(const std::string& dir)
{
    fs::create_directories(dir);
    // Six in ten ".jpg", two ".JPEG", two ".txt": the walk must look at every name.
    for (int i = 0; i < kFilesPerFolder; ++i) {
        const char* ext = i % 10 < 6 ? ".jpg" : i % 10 < 8 ? ".JPEG" : ".txt";
        Touch(dir + "/img_" + std::to_string(i) + ext);
    }
}

void Generate(const std::string& root)
{
    for (int t = 0; t < kTopFolders; ++t) {
        const std::string top = root + "/top" + std::to_string(t);
        FillFolder(top);
        for (int s = 0; s < kSubFolders; ++s) FillFolder(top + "/sub" + std::to_string(s));
    }
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

template <class F>
double Median(F&& run)
{
    run();  // warm-up: both tools see a warm directory cache
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) times.push_back(run());
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    std::string root;
    bool temporary = false;
    if (argc > 1) {
        root = argv[1];
    } else {
        std::string tmpl = (fs::temp_directory_path() / "zorezaz-bench-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) return 1;
        root = tmpl + "/tree";
        temporary = true;
    }
    if (!fs::exists(root)) {
        const auto t0 = std::chrono::steady_clock::now();
        Generate(root);
        std::printf("generated %d files in %d folders under %s in %.2f s\n",
                    kTopFolders * (kSubFolders + 1) * kFilesPerFolder, kTopFolders * (kSubFolders + 1),
                    root.c_str(), Seconds(t0));
    }
    const double files = double(kTopFolders) * (kSubFolders + 1) * kFilesPerFolder;

    long found = 0;
    const double ours = Median([&] {
        TIMLFindText finder;
        finder.FileMask = "*.jpg;*.jpeg";
        finder.StartDirectory = root;
        found = 0;
        finder.OnFound = [&](TIMLFindText&, const std::string&, int32_t) { ++found; };
        finder.ProcessMessages = [] {};
        const auto t0 = std::chrono::steady_clock::now();
        finder.Execute();
        return Seconds(t0);
    });

    const std::string command = "find '" + root + "' -iname '*.jpg' > /dev/null";
    bool findFailed = false;
    const double theirs = Median([&] {
        const auto t0 = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) findFailed = true;
        return Seconds(t0);
    });

    std::printf("TIMLFindText \"*.jpg;*.jpeg\": %8.3f s  %10.0f files/s  (%ld reported)\n", ours,
                files / ours, found);
    std::printf("find -iname '*.jpg':         %8.3f s  %10.0f files/s%s\n", theirs, files / theirs,
                findFailed ? "  (find failed)" : "");

    if (temporary) fs::remove_all(fs::path(root).parent_path());
    return findFailed ? 1 : 0;
}
