// The folder browser's answer: only a folder with a file-system path counts as chosen.
#include "folder_browser.h"

#include <gtest/gtest.h>

namespace {

TEST(FolderBrowser, AnItemWithAFileSystemPathGivesThatPath) {
    LPITEMIDLIST items = nullptr;
    ASSERT_EQ(::SHGetSpecialFolderLocation(nullptr, CSIDL_WINDOWS, &items), S_OK);
    char folder[MAX_PATH] = "junk";
    EXPECT_TRUE(TakeFolderPath(items, folder));
    char windows[MAX_PATH] = {0};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    EXPECT_STRCASEEQ(folder, windows);
}

TEST(FolderBrowser, AnItemWithoutAFileSystemPathCountsAsCancelled) {
    LPITEMIDLIST items = nullptr;
    ASSERT_EQ(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &items), S_OK);
    char folder[MAX_PATH] = "My Computer";
    EXPECT_FALSE(TakeFolderPath(items, folder));
    EXPECT_STREQ(folder, "");
}

} // namespace
