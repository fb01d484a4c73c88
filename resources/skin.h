// The skin's pictures, decoded at build time and embedded (see skin_pack.cpp).
#pragma once

#include <cstddef>
#include <string>

struct SkinPicture {
    unsigned width = 0, height = 0;
    const unsigned char* bgra = nullptr;  // premultiplied, top row first
};

// Looks a picture up by its file name without extension ("button_normal").
bool FindSkinPicture(const std::string& name, SkinPicture* picture);
// Parses a pack; used by FindSkinPicture on the embedded pack, and by tests.
bool FindInSkinPack(const unsigned char* pack, size_t size, const std::string& name,
                    SkinPicture* picture);
