// Generates the content into <out>/content and writes the review pictures next to it:
// quorvane_review <out dir>.
#include "assets/content/Content.h"
#include "assets/content/Review.h"

#include <cstdio>
#include <exception>
#include <filesystem>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <review output folder>\n", argv[0]);
        return 2;
    }
    try {
        const std::filesystem::path out = argv[1];
        assets::GenerateContent(out / "content", QUORVANE_ASSETS_SOURCE_DIR);
        assets::WriteReview(out / "content", QUORVANE_ASSETS_SOURCE_DIR, out);
        std::printf("review pictures written to %s\n", out.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "review failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
