// Controls of the About window.
#pragma once

enum AboutControl : int {
    kAboutTitle = 1,
    kAboutProduct,
    kAboutWelcome,
    kAboutDescription,
    kAboutContact,
    kAboutNotice,
    kAboutClose,
};
