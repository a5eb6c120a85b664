#include "lists/task_list_files.h"

#include "platform/code_page.h"
#include "platform/system.h"
#include "tests/support/faulty_file_service.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace vantiro {
namespace {

class TaskListFiles : public ::testing::Test {
 protected:
  void SetUp() override { setProgramDirectory(dir.path()); }
  void TearDown() override { setProgramDirectory(""); }

  std::string write(const std::string& name, const std::string& bytes) const {
    test::writeBytes(dir / name, bytes);
    return dir / name;
  }
  std::string gbk(const Text& text) const { return encodeAnsi(text); }
  // A path under the temporary directory, as the task list holds it.
  Text pagePath(const std::string& name) const { return textPath(dir / name); }
  std::vector<std::string> hiddenFiles() const {
    std::vector<std::string> names;
    for (const auto& e : files().listDirectory(dir.path()))
      if (e.hidden) names.push_back(e.name);
    return names;
  }

  test::TempDir dir;
};

TEST_F(TaskListFiles, SavedListIsWrittenByteForByte) {
  const std::string path = dir / "1.lst";
  WriteSavedList(path, U" 我的网站 ", {U"/web/首页.htm", U"/web/b.html"});
  // The name is in the code page, paths are the file system's (UTF-8) bytes.
  EXPECT_EQ(test::readBytes(path), "1\r\n" + gbk(U" 我的网站 ") + "\r\n/web/首页.htm\r\n/web/b.html\r\n");
  WriteSavedList(path, U"空", {});
  EXPECT_EQ(test::readBytes(path), "1\r\n" + gbk(U"空") + "\r\n");
}

TEST_F(TaskListFiles, DefaultListKeepsEveryNameByteForByte) {
  const std::string names[] = {"站点.htm", "😀.html", "\xFF\xB0\xA1.htm", "a\xE4\xB8.htm"};
  std::vector<Text> paths;
  std::string expected;
  for (const std::string& name : names) {
    write(name, "<html>");
    paths.push_back(textPath(dir / name));
    expected += (dir / name) + "\r\n";
  }
  WriteDefaultList(paths);
  EXPECT_EQ(test::readBytes(dir / "moren.kbq"), expected);
  EXPECT_EQ(LoadDefaultList(), paths);
}

TEST_F(TaskListFiles, SavedListRoundTripsEveryByteOfItsPaths) {
  const Text odd = textPath(std::string("/web/\x81\xff\x80z.htm"));
  const std::vector<Text> paths = {U"/web/中文 路径.htm", odd, U"", U"  /spaces kept  "};
  WriteSavedList(dir / "7.lst", U"名", paths);
  EXPECT_EQ(ReadListEntries(dir / "7.lst"), paths);
  EXPECT_EQ(nativePath(ReadListEntries(dir / "7.lst")[1]), std::string("/web/\x81\xff\x80z.htm"));
}

TEST_F(TaskListFiles, ReadingSavedAndForeignListsByTheirFirstLine) {
  struct Case {
    const char* what;
    std::string file;
    std::vector<Text> entries;
  };
  const Case cases[] = {
      {"header only", "1\r\nname\r\n", {}},
      {"header without last break", "1\r\nname", {}},
      {"empty third line", "1\r\nname\r\n\r\n", {U""}},
      {"entries", "1\r\nname\r\n/a.htm\r\n/b.htm", {U"/a.htm", U"/b.htm"}},
      {"lone LF is part of a line", "1\r\nname\r\n/a\n.htm\r\n", {U"/a\n.htm"}},
      {"first line not looked at", "anything\r\nname\r\n/a.htm\r\n", {U"/a.htm"}},
      {"tab before < is no blank", "\t<List>\r\nname\r\n<File>x</File>\r\n", {U"<File>x</File>"}},
      {"blanks before <", "   <List>\r\n  <File>/web/a.htm</File>\r\n</List>\r\n", {U"/web/a.htm"}},
      {"foreign without entries", "<List>\r\n</List>\r\n", {}},
      {"foreign with one line", "<List>", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ReadListEntries(write("x.lst", c.file)), c.entries);
  }
}

TEST_F(TaskListFiles, ForeignLinesGiveTheTextBetweenTheFirstTags) {
  struct Case {
    const char* what;
    std::string line;
    std::vector<Text> entries;
  };
  const Case cases[] = {
      {"indented", "  <File>C:/web/a.htm</File>", {U"C:/web/a.htm"}},
      {"other case is ignored", "<FILE>x</FILE>", {}},
      {"only the first of a line", "<File>a</File><File>b</File>", {U"a"}},
      {"empty entry", "<File></File>", {U""}},
      {"not trimmed", "<File> a b </File>  ", {U" a b "}},
      {"text around the tags", "x<File>/网站/页.htm</File>y", {U"/网站/页.htm"}},
      {"lines without the tag", "<Name>list</Name>", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = write("t.lst", "<List>\r\n" + gbk(fromUtf8(c.line)) + "\r\n</List>\r\n");
    EXPECT_EQ(ReadForeignListEntries(path), c.entries);
    EXPECT_EQ(ReadListEntries(path), c.entries);
  }
}

TEST_F(TaskListFiles, ForeignReaderTakesTheFirstLineToo) {
  EXPECT_EQ(ReadForeignListEntries(write("f.lst", "<File>first</File>\r\n<File>second</File>\r\n")),
            (std::vector<Text>{U"first", U"second"}));
}

TEST_F(TaskListFiles, BrokenListsFailToRead) {
  struct Case {
    const char* what;
    std::string file;
  };
  const Case cases[] = {
      {"no closing tag", "<List>\r\n<File>/a.htm</File>\r\n<File>/b.htm\r\n"},
      {"closing tag first", "<List>\r\n</File><File>/a.htm\r\n"},
      {"closing tag on the next line", "<List>\r\n<File>/a.htm\r\n</File>\r\n"},
      {"empty file", ""},
      {"saved list without its name line", "1\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_THROW(ReadListEntries(write("bad.lst", c.file)), ListFormatError);
  }
  EXPECT_THROW(ReadForeignListEntries(write("bad.lst", "<File>x\r\n")), ListFormatError);
  EXPECT_THROW(ReadListEntries(dir / "missing.lst"), FileError);
}

TEST_F(TaskListFiles, NewSavedListsTakeTheSmallestFreeNumber) {
  EXPECT_EQ(NextSavedListPath(), dir / "1.lst");
  write("1.lst", "1\r\na\r\n");
  write("3.lst", "1\r\nc\r\n");
  EXPECT_EQ(NextSavedListPath(), dir / "2.lst");

  auto written = WriteNewSavedList(U" 新记录", {U"/p.htm"});
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(*written, dir / "2.lst");
  EXPECT_EQ(test::readBytes(*written), "1\r\n" + gbk(U" 新记录") + "\r\n/p.htm\r\n");
  EXPECT_EQ(*WriteNewSavedList(U"x", {}), dir / "4.lst");
  EXPECT_EQ(test::readBytes(dir / "3.lst"), "1\r\nc\r\n");
  EXPECT_TRUE(hiddenFiles().empty());
}

TEST_F(TaskListFiles, ABlankNameWritesNoList) {
  EXPECT_FALSE(WriteNewSavedList(U"", {U"/a"}).has_value());
  EXPECT_FALSE(WriteNewSavedList(U"   ", {U"/a"}).has_value());
  EXPECT_FALSE(pathExists(dir / "1.lst"));
}

TEST_F(TaskListFiles, ANewListNeverReplacesAFileThatAppearsMeanwhile) {
  ASSERT_EQ(::mkdir((dir / "1.lst").c_str(), 0755), 0);  // a directory takes the name
  test::FaultyFileService faulty;
  // Another copy of the program saves 2.lst between our check and our rename.
  faulty.beforeOperation = [&](const std::string& op, const std::string&) {
    if (op == "renameNoReplace" && !pathExists(dir / "2.lst")) test::writeBytes(dir / "2.lst", "theirs");
  };
  ScopedFileService scope(faulty);
  auto written = WriteNewSavedList(U"mine", {});
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(*written, dir / "3.lst");
  EXPECT_EQ(test::readBytes(dir / "2.lst"), "theirs");
  EXPECT_EQ(test::readBytes(dir / "3.lst"), "1\r\nmine\r\n");
  EXPECT_TRUE(hiddenFiles().empty());
}

TEST_F(TaskListFiles, WriteFailuresLeaveOldListsWhole) {
  write("1.lst", "1\r\nold\r\n/a\r\n");
  write("moren.kbq", "/a\r\n");
  test::FaultyFileService faulty;
  faulty.bytesUntilFull = 5;
  ScopedFileService scope(faulty);
  EXPECT_THROW(WriteSavedList(dir / "1.lst", U"new", {U"/b", U"/c"}), FileError);
  EXPECT_THROW(WriteDefaultList({U"/b", U"/c"}), FileError);
  EXPECT_THROW(WriteNewSavedList(U"new", {U"/b"}), FileError);
  EXPECT_EQ(test::readBytes(dir / "1.lst"), "1\r\nold\r\n/a\r\n");
  EXPECT_EQ(test::readBytes(dir / "moren.kbq"), "/a\r\n");
  EXPECT_FALSE(pathExists(dir / "2.lst"));

  faulty.bytesUntilFull = -1;
  faulty.unwritableDirectories.insert(dir.path());
  EXPECT_THROW(WriteNewSavedList(U"new", {}), FileError);
  EXPECT_THROW(DeleteDefaultList(), FileError);
  EXPECT_TRUE(pathExists(dir / "moren.kbq"));
}

TEST_F(TaskListFiles, DefaultListIsWrittenLoadedAndDeleted) {
  EXPECT_FALSE(DefaultListExists());
  EXPECT_TRUE(LoadDefaultList().empty());

  const std::string home = gbk(U"首页.htm");
  write("a.htm", "a");
  write(home, "b");
  write(".hidden.htm", "h");
  ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
  const std::vector<Text> written = {pagePath("a.htm"),   pagePath("gone.htm"), U"",
                                     pagePath(home), pagePath(".hidden.htm"), pagePath("sub"),
                                     pagePath("a.htm")};
  WriteDefaultList(written);
  std::string expected;
  for (const Text& p : written) expected += nativePath(p) + "\r\n";  // the file system's bytes
  EXPECT_EQ(test::readBytes(defaultListPath()), expected);
  EXPECT_EQ(defaultListPath(), dir / "moren.kbq");

  EXPECT_TRUE(DefaultListExists());
  // Missing files, empty lines, hidden files and directories are left out;
  // a path listed twice loads twice (list files load without the presence test).
  EXPECT_EQ(LoadDefaultList(), (std::vector<Text>{pagePath("a.htm"), pagePath(home), pagePath("a.htm")}));

  WriteDefaultList({});
  EXPECT_EQ(test::readBytes(defaultListPath()), "");
  EXPECT_TRUE(DefaultListExists());
  EXPECT_TRUE(LoadDefaultList().empty());

  DeleteDefaultList();
  EXPECT_FALSE(DefaultListExists());
  EXPECT_THROW(DeleteDefaultList(), FileError);
}

TEST_F(TaskListFiles, DefaultListWithoutFinalBreakOrWithDeletedFileLoadsTheRest) {
  write("a.htm", "a");
  write("b.htm", "b");
  write("moren.kbq", encodeAnsi(pagePath("a.htm") + U"\r\n" + pagePath("deleted.htm") + U"\r\n" + pagePath("b.htm")));
  EXPECT_EQ(LoadDefaultList(), (std::vector<Text>{pagePath("a.htm"), pagePath("b.htm")}));
}

TEST_F(TaskListFiles, ListingShowsEveryListFileWithItsKindAndName) {
  write("1.lst", "1\r\n" + gbk(U"第一个") + "\r\n/a\r\n");
  write("10.lst", "1\r\nten\r\n");
  write("2.LST", "1\r\nupper case\r\n");
  write("3.lst", "   <List>\r\n<File>/x</File>\r\n");
  write("4.lst", "1");  // no name line
  write("5.lst", "");
  write(".6.lst", "1\r\nhidden\r\n");
  write("moren.kbq", "/a\r\n");
  write("7.lstx", "1\r\nnot a list\r\n");
  ASSERT_EQ(::mkdir((dir / "8.lst").c_str(), 0755), 0);

  const auto lists = ListSavedListFiles();
  struct Expected {
    const char* name;
    ListKind kind;
    Text shown;
  };
  const Expected expected[] = {
      {"1.lst", ListKind::Saved, U"第一个"}, {"10.lst", ListKind::Saved, U"ten"},
      {"2.LST", ListKind::Saved, U"upper case"}, {"3.lst", ListKind::Foreign, kForeignListTitle},
      {"4.lst", ListKind::Saved, U""},          {"5.lst", ListKind::Saved, U""},
  };
  ASSERT_EQ(lists.size(), std::size(expected));
  for (std::size_t i = 0; i < lists.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(lists[i].path, dir / expected[i].name);
    EXPECT_EQ(lists[i].kind, expected[i].kind);
    EXPECT_EQ(lists[i].shownName, expected[i].shown);
  }
  EXPECT_EQ(kForeignListTitle, U"由Tessaly储存的列表（本软件可以阅读，但是本软件的列表Tessaly不能读）");
}

TEST_F(TaskListFiles, AnUnreadableListIsStillListed) {
  write("1.lst", "1\r\nname\r\n");
  test::FaultyFileService faulty;
  faulty.unreadable.insert(dir / "1.lst");
  ScopedFileService scope(faulty);
  const auto lists = ListSavedListFiles();
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0].shownName, U"");
  EXPECT_THROW(ReadListEntries(dir / "1.lst"), FileError);
}

}  // namespace
}  // namespace vantiro
