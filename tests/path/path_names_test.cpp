// What a path names: roots, full paths, the same path written two ways, and the key sets keep.
#include "path/path_names.h"

#include <gtest/gtest.h>

TEST(PathNames, RootsAreNotRemovableDirectories) {
    for (const char* root : {"", "\\", "C:", "c:\\", "C:\\\\", "\\\\server", "\\\\server\\share",
                             "\\\\server\\share\\", "\\\\\\server\\\\share"})
        EXPECT_FALSE(NamesRemovableDirectory(root)) << root;
    for (const char* dir : {"C:\\A", "\\A", "A", "\\\\server\\share\\dir", "C:A"})
        EXPECT_TRUE(NamesRemovableDirectory(dir)) << dir;
    for (const char* full : {"C:\\A", "c:/A", "\\\\srv\\share\\dir", "//srv/share", "C:\\"})
        EXPECT_TRUE(IsFullPath(full)) << full;
    for (const char* relative : {"", "Temp", "..\\x", "C:foo", "C:", "\\dir", "/dir", ".\\a", "\\\\srv",
                                 "\\\\/srv\\share\\x.dll"})  // no server named: nothing is there
        EXPECT_FALSE(IsFullPath(relative)) << relative;
    EXPECT_TRUE(SamePath("C:\\Prog\\", "c:\\PROG"));
    EXPECT_FALSE(SamePath("C:\\Spool", "D:\\Spool"));
    EXPECT_FALSE(SamePath("C:\\Spool", "\\Spool"));  // the current drive is not known here
    EXPECT_FALSE(SamePath("C:\\Spool", "C:Spool"));
    EXPECT_FALSE(SamePath("\\\\srv\\share\\Spool", "\\\\srv\\other\\Spool"));
    EXPECT_TRUE(SamePath("\\\\SRV\\share\\\\Spool\\", "//srv/share/spool"));
    EXPECT_FALSE(SamePath("C:\\Prog", "C:\\Prog2"));
}

TEST(PathNames, RootsWrittenWithSlashesDotsOrDotDotsAreStillRoots) {
    for (const char* root : {"/", "C:/", "C:\\.", "C:\\A\\..", "c:\\A\\B\\..\\..\\..", "C:\\ .", "//server/share",
                             "\\\\server\\share\\dir\\..", "\\.", "\\A\\..", "\\\\srv\\d:", "\\/srv\\x:\\", "\\\\/"})
        EXPECT_FALSE(NamesRemovableDirectory(root)) << root;
    // Relative to a current directory: not known to be a root here.
    for (const char* dir : {"C:\\A\\..\\B", "C:/A", ".", "C:.", "A\\.."})
        EXPECT_TRUE(NamesRemovableDirectory(dir)) << dir;
}

TEST(PathNames, KeysAreOneForOnePathHoweverItsSeparatorsAreWritten) {
    EXPECT_EQ(PathKey("C:\\\\A/b\\"), "C:\\A\\b");
    EXPECT_EQ(PathKey("//srv/share\\x"), "\\\\srv\\share\\x");
    EXPECT_EQ(PathKey("/A\\\\"), "\\A");  // on the current drive: not the directory A
}
