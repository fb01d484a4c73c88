// A bounded mutation run over the readers: damaged images of every kind must be read
// or refused, never crash, hang or read out of bounds (the native tree runs this under
// AddressSanitizer and UBSan).
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "engines/isotool/iso_image.h"
#include "tests/isotool/iso_fixture.h"

using namespace isotest;

namespace {

TEST(IsoReaderFuzz, MutatedImagesAreReadOrRefused) {
    if (!HaveTool("genisoimage")) GTEST_SKIP() << "genisoimage missing";
    Scratch scratch;
    const fs::path source = scratch.dir / "src";
    MakeSourceTree(source);
    std::vector<std::string> seeds;
    for (const char* options : {"", "-J", "-J -R", "-udf -J"}) {
        const fs::path image = scratch.dir / "seed.iso";
        ASSERT_TRUE(MakeImage("genisoimage -quiet", options, source, image));
        seeds.push_back(ReadAll(image));
    }
    std::mt19937 random(20261209);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int runs = 0, accepted = 0;
    for (; runs < 4000 && std::chrono::steady_clock::now() < deadline; ++runs) {
        std::string bytes = seeds[size_t(runs) % seeds.size()];
        // Mutations land in the descriptor and directory area, where the readers look.
        const int flips = 1 + int(random() % 16);
        for (int i = 0; i < flips; ++i) {
            const size_t at =
                16 * 2048 + random() % std::min<size_t>(bytes.size() - 16 * 2048, 60 * 2048);
            bytes[at] = char(random());
        }
        if (random() % 8 == 0) bytes.resize(random() % bytes.size());
        isotool::MemorySource image(bytes);
        isotool::IsoTree tree;
        std::string error;
        for (isotool::NameSource names :
             {isotool::NameSource::Auto, isotool::NameSource::Iso9660}) {
            if (isotool::ReadIsoTree(image, names, tree, error)) {
                ++accepted;
                for (const auto& entry : tree.entries) {
                    ASSERT_FALSE(entry.path.empty());
                    for (const auto& extent : entry.extents)
                        ASSERT_TRUE(extent.zeros || extent.offset + extent.length <= bytes.size());
                }
            } else {
                ASSERT_FALSE(error.empty());
                ASSERT_TRUE(tree.entries.empty());
            }
        }
    }
    EXPECT_GT(runs, 100);
    std::printf("%d mutated images, %d readings accepted\n", runs, accepted);
}

}  // namespace
