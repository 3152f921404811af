// The size limit of a loaded file and the index over a file's names.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "settings/ini_file.h"
#include "settings/windows1251.h"

namespace zart::settings {
namespace {

using namespace Qt::StringLiterals;

TEST(IniFileLimits, FileAtTheCapLoadsOneByteMoreIsRefusedAsTooLarge) {
  QTemporaryDir dir;
  for (const qint64 extra : {0, 1}) {
    SCOPED_TRACE(extra);
    const QString path = dir.filePath(u"big.ini"_s);
    QByteArray bytes = "[A]\r\n;";
    const QByteArray tail = "\r\nx=5\r\n";
    bytes += QByteArray(IniFile::kMaxFileBytes + extra - bytes.size() - tail.size(), 'c') + tail;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), IniFile::kMaxFileBytes + extra);
    file.close();

    IniFile ini;
    QString error;
    EXPECT_EQ(ini.Load(path, &error), extra == 0);
    EXPECT_EQ(ini.Read(u"A"_s, u"x"_s, u"DEF"_s), extra == 0 ? u"5"_s : u"DEF"_s);
    // The reason the user is shown says what is wrong, in Russian.
    EXPECT_EQ(error.contains(u"велик"_s), extra == 1) << error.toStdString();
  }
}

TEST(IniFileLimits, NamesFoldAlikeInTheFileAndInTheCall) {
  const struct {
    QString inFile;
    QString asked;
    bool found;
  } cases[] = {
      {u"Ёлка"_s, u"ёЛКА"_s, true},
      {u"ҐЇЄІЎЈ"_s, u"ґїєіўј"_s, true},
      {u"ЂЃЉЊЌЋЏЅ"_s, u"ђѓљњќћџѕ"_s, true},
      {u"Abc"_s, u"aBC"_s, true},     {u"x\u0098"_s, u"X\u0098"_s, true}, {u"Е"_s, u"Ё"_s, false},
      {u"a b"_s, u"a  b"_s, false},   {u"PAR1"_s, u"PAR10"_s, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.inFile.toStdString());
    IniFile ini;
    ini.Parse(EncodeWindows1251(u"[S"_s + c.inFile + u"]\r\n"_s + c.inFile + u"=1\r\n"_s));
    EXPECT_EQ(ini.Read(u"S"_s + c.asked, c.asked, u"-"_s), c.found ? u"1"_s : u"-"_s);
    // A write finds the same line instead of appending a second one.
    ini.Write(u"S"_s + c.asked, c.asked, u"2"_s);
    EXPECT_EQ(ini.Serialize().count('='), c.found ? 1 : 2);
  }
}

TEST(IniFileLimits, KeysAddedToAFileSectionReadBackAndFollowItsLastKey) {
  IniFile ini;
  ini.Parse("[A]\r\nx=1\r\nx=dup\r\n\r\n[B]\r\n[a]\r\nz=9\r\n");
  ini.Write(u"a"_s, u"y"_s, u"2"_s);
  ini.Write(u"A"_s, u"w"_s, u"3"_s);
  ini.Write(u"a"_s, u"Y"_s, u" 4 "_s);
  ini.Write(u"C"_s, u"v"_s, u"5"_s);
  EXPECT_EQ(ini.Read(u"A"_s, u"y"_s, u"-"_s), u"4"_s);
  EXPECT_EQ(ini.Read(u"A"_s, u"z"_s, u"-"_s), u"-"_s);  // in the later [a], not reached
  EXPECT_EQ(ini.Keys(u"A"_s), (QStringList{u"x"_s, u"y"_s, u"w"_s}));
  EXPECT_EQ(ini.Serialize(),
            QByteArray("[A]\r\nx=1\r\nx=dup\r\ny= 4 \r\nw=3\r\n\r\n[B]\r\n[a]\r\nz=9\r\n[C]\r\nv=5\r\n"));
}

}  // namespace
}  // namespace zart::settings
