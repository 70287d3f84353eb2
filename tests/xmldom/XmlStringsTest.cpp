// Tests of the string helpers and streams: the buffer's growth rule and code-point appends,
// the string list's sorting, searching and duplicate modes, the name/value pairs, and the
// UTF-16 text stream's size rules.
#include "XmlStrings.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "XmlStreams.h"

using namespace xmldom;

namespace {

template <class E, class F> std::string messageOf(F f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

// ------------------------------------------------------------------ TdomCustomStr

TEST(TdomCustomStr, GrowsByAQuarterFrom64) {
    TdomCustomStr s;
    EXPECT_EQ(s.getCapacity(), 64);
    for (int i = 0; i < 64; ++i)
        s.addWideChar(u'x');
    EXPECT_EQ(s.getCapacity(), 64);
    s.addWideChar(u'y');
    EXPECT_EQ(s.getCapacity(), 80);
    EXPECT_EQ(s.getLength(), 65);
    s.addWideString(std::u16string(40, u'z')); // 105 units: 80 -> 100 -> 125
    EXPECT_EQ(s.getCapacity(), 125);
    s.reset();
    EXPECT_EQ(s.getCapacity(), 64);
    EXPECT_EQ(s.getLength(), 0);
}

TEST(TdomCustomStr, CodePoints) {
    TdomCustomStr s;
    s.addUCS4Char(0x41);
    s.addUCS4Char(0x10000);
    s.addUCS4Char(0x10FFFF);
    s.addUCS4Char(0xFFFF);
    WideString v;
    s.value(v);
    EXPECT_EQ(v, std::u16string(u"A\xD800\xDC00\xDBFF\xDFFF\xFFFF"));
    EXPECT_EQ(messageOf<EConvertError>([&] { s.addUCS4Char(0xD800); }),
              "55296 is not a valid ISO-10646-UCS4 code point.");
    EXPECT_EQ(messageOf<EConvertError>([&] { s.addUCS4Char(0x110000); }),
              "1114112 is not a valid ISO-10646-UCS4 code point.");
    EXPECT_EQ(s.getLength(), 6); // nothing appended by the refusals
}

TEST(TdomCustomStr, ComparisonsAndIndexes) {
    TdomCustomStr s;
    s.addWideString(u"hello");
    EXPECT_TRUE(s.startsWith(u"he"));
    EXPECT_TRUE(s.endsWith(u"llo"));
    EXPECT_FALSE(s.startsWith(u""));
    EXPECT_FALSE(s.endsWith(u""));
    EXPECT_FALSE(s.endsWith(u"xhello"));
    EXPECT_TRUE(s.equals(u"hello"));
    EXPECT_FALSE(s.equals(u"hell"));
    EXPECT_EQ(s.getChar(1), u'h');
    s.setChar(5, u'O');
    EXPECT_TRUE(s.endsWith(u"O"));
    EXPECT_EQ(messageOf<EListError>([&] { s.getChar(0); }), "List index out of bounds (0)");
    EXPECT_EQ(messageOf<EListError>([&] { s.setChar(6, u'x'); }), "List index out of bounds (6)");
}

// ------------------------------------------------------------------ TdomWideStringList

TEST(TdomWideStringList, SortedInsertionIsOrdinal) {
    TdomWideStringList list;
    list.setSorted(true);
    for (const char16_t* s : {u"b", u"B", u"a", u"\x00E9", u"ab", u""})
        list.Add(s);
    std::vector<std::u16string> order;
    for (int i = 0; i < list.getCount(); ++i)
        order.push_back(list.Get(i));
    EXPECT_EQ(order, (std::vector<std::u16string>{u"", u"B", u"a", u"ab", u"b", u"\x00E9"}));
    int index = -1;
    EXPECT_TRUE(list.Find(u"ab", index));
    EXPECT_EQ(index, 3);
    EXPECT_FALSE(list.Find(u"aa", index));
    EXPECT_EQ(index, 3);
    EXPECT_EQ(list.IndexOf(u"zz"), -1);
}

TEST(TdomWideStringList, DuplicateModes) {
    TObject first, second;
    TdomWideStringList list;
    list.setSorted(true);
    list.setDuplicates(dupIgnore);
    EXPECT_EQ(list.AddObject(u"id", &first), 0);
    EXPECT_EQ(list.AddObject(u"id", &second), 0);
    EXPECT_EQ(list.getCount(), 1);
    EXPECT_EQ(list.GetObject(0), &first);

    list.setDuplicates(dupError);
    EXPECT_EQ(messageOf<EListError>([&] { list.Add(u"id"); }), "String list does not allow duplicates");
    EXPECT_EQ(list.AddObject(u"ID", &second), 0); // letter case makes a different entry
    EXPECT_EQ(list.getCount(), 2);

    list.setDuplicates(dupAccept);
    list.Add(u"id");
    list.Add(u"id");
    EXPECT_EQ(list.getCount(), 4);
    int index = -1;
    EXPECT_TRUE(list.Find(u"id", index));
    EXPECT_EQ(index, 1);                  // the first of the equal entries
    EXPECT_EQ(list.GetObject(3), &first); // equal strings are inserted before the old one
}

TEST(TdomWideStringList, RefusalsOnSortedListsAndIndexes) {
    TdomWideStringList list;
    list.Add(u"x");
    list.Add(u"y");
    list.Insert(0, u"w");
    list.Insert(3, u"z");
    EXPECT_EQ(list.Get(0), u"w");
    EXPECT_EQ(list.Get(3), u"z");
    list.Exchange(0, 3);
    EXPECT_EQ(list.Get(0), u"z");
    EXPECT_EQ(messageOf<EListError>([&] { list.Get(4); }), "List index out of bounds (4)");
    EXPECT_EQ(messageOf<EListError>([&] { list.Delete(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(messageOf<EListError>([&] { list.Insert(6, u"q"); }), "List index out of bounds (6)");
    EXPECT_EQ(messageOf<EListError>([&] { list.Exchange(0, 9); }), "List index out of bounds (9)");
    list.setSorted(true);
    EXPECT_EQ(list.Get(0), u"w");
    EXPECT_EQ(messageOf<EListError>([&] { list.Insert(0, u"a"); }),
              "Operation not allowed on sorted string list");
    EXPECT_EQ(messageOf<EListError>([&] { list.Exchange(0, 1); }),
              "Operation not allowed on sorted string list");
    EXPECT_EQ(list.getCount(), 4);
}

TEST(TdomWideStringList, SortNotifiesAndHandlesLargeLists) {
    TdomWideStringList list;
    int changing = 0, changed = 0;
    for (int i = 0; i < 5000; ++i)
        list.Add(std::u16string(1, static_cast<char16_t>(u'a' + (i * 7919) % 26)) +
                 static_cast<char16_t>(u'0' + i % 10));
    list.OnChanging = [&](TObject*) { ++changing; };
    list.OnChange = [&](TObject*) { ++changed; };
    list.Sort();
    EXPECT_EQ(changing, 1);
    EXPECT_EQ(changed, 1);
    for (int i = 1; i < list.getCount(); ++i)
        ASSERT_LE(list.Get(i - 1), list.Get(i));
    // An already sorted list of equal keys (a quicksort's worst case for depth) still sorts.
    TdomWideStringList same;
    for (int i = 0; i < 20000; ++i)
        same.Add(u"k");
    same.Sort();
    EXPECT_EQ(same.getCount(), 20000);
}

TEST(TdomWideStringList, DeleteClearAndObjects) {
    TObject o;
    TdomWideStringList list;
    list.AddObject(u"a", &o);
    list.Add(u"b");
    EXPECT_EQ(list.IndexOfObject(&o), 0);
    list.PutObject(1, &o);
    EXPECT_EQ(list.GetObject(1), &o);
    list.Delete(0);
    EXPECT_EQ(list.Get(0), u"b");
    list.Clear();
    EXPECT_EQ(list.getCount(), 0);
}

// ------------------------------------------------------------------ TdomNameValueList

TEST(TdomNameValueList, PairsStayTogether) {
    TdomNameValueList list;
    list.Add(u"b", u"2");
    list.Add(u"a", u"1");
    list.Add(u"c", u"3");
    EXPECT_EQ(list.getValueOfName(u"a"), u"1");
    EXPECT_EQ(list.getValueOfName(u"none"), u"");
    list.setSorted(true);
    EXPECT_EQ(list.getName(0), u"a");
    EXPECT_EQ(list.getValue(0), u"1");
    EXPECT_EQ(list.getValue(2), u"3");
    list.Add(u"ab", u"12");
    EXPECT_EQ(list.getName(1), u"ab");
    EXPECT_EQ(list.getValue(1), u"12");
    list.Add(u"a", u"ignored"); // ignored duplicate on a sorted list: nothing added
    EXPECT_EQ(list.getCount(), 4);
    EXPECT_EQ(list.getValueOfName(u"a"), u"1");
    list.Delete(0);
    EXPECT_EQ(list.getName(0), u"ab");
    EXPECT_EQ(list.getValue(0), u"12");
}

TEST(TdomNameValueList, AppendAndCompare) {
    TdomNameValueList a, b;
    a.Add(u"x", u"1");
    a.Add(u"y", u"2");
    b.AddNameValueList(a);
    EXPECT_TRUE(a.Equals(b));
    b.AddNameValueList(b);
    EXPECT_EQ(b.getCount(), 4);
    EXPECT_FALSE(a.Equals(b));
    TdomNameValueList c;
    c.Add(u"x", u"1");
    c.Add(u"y", u"other");
    EXPECT_FALSE(a.Equals(c));
    a.Clear();
    EXPECT_EQ(a.getCount(), 0);
}

// ------------------------------------------------------------------ streams

TEST(TdomWideStringStream, SizeRules) {
    TdomWideStringStream s;
    EXPECT_EQ(messageOf<EStreamError>([&] { s.SetSize(3); }), "Odd size not valid for WideString");
    EXPECT_EQ(messageOf<EStreamError>([&] { s.SetSize(-2); }), "Negative stream size invalid");
    EXPECT_EQ(s.Write("abc", 3), 3);
    EXPECT_EQ(s.Size(), 4);
    EXPECT_EQ(s.Position(), 3);
    EXPECT_EQ(s.getCapacity(), 12); // 4 + max(1, 8), rounded down to a multiple of 4
    EXPECT_EQ(messageOf<EStreamError>([&] { s.SetCapacity(2); }), "Capacity cannot be less than size");
    s.SetSize(100);
    EXPECT_EQ(s.getCapacity(), 124);
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
}

TEST(TdomWideStringStream, TextReadSeek) {
    TdomWideStringStream s(u"\xFEFFhi");
    EXPECT_EQ(s.Size(), 6);
    char16_t unit = 0;
    EXPECT_EQ(s.Read(&unit, 2), 2);
    EXPECT_EQ(unit, 0xFEFF);
    EXPECT_EQ(s.Seek(2, soEnd), 4);
    EXPECT_EQ(s.Seek(100, soCurrent), 6);
    EXPECT_EQ(s.Seek(-5, soBeginning), 0);
    char buffer[16];
    EXPECT_EQ(s.Read(buffer, 16), 6);
    EXPECT_EQ(s.Read(buffer, 16), 0);
    EXPECT_EQ(s.Read(buffer, -1), 0);
    s.Write(u"!", 2);
    EXPECT_EQ(s.DataString(), std::u16string(u"\xFEFFhi!"));
}

TEST(XmlStreams, StringAndFileStreams) {
    TStringStream bytes;
    bytes.WriteBuffer("abc", 3);
    bytes.SetPosition(1);
    char c[2] = {};
    bytes.ReadBuffer(c, 2);
    EXPECT_EQ(std::string(c, 2), "bc");
    EXPECT_EQ(messageOf<EReadError>([&] { bytes.ReadBuffer(c, 1); }), "Stream read error");
    EXPECT_EQ(bytes.DataString(), "abc");

    std::string path = testing::TempDir() + "xmldom_stream_test.bin";
    {
        TFileStream out(path, fmCreate);
        out.WriteBuffer("xyz", 3);
    }
    TFileStream in(path, fmOpenRead);
    EXPECT_EQ(in.Size(), 3);
    char r[3];
    in.ReadBuffer(r, 3);
    EXPECT_EQ(std::string(r, 3), "xyz");
    std::remove(path.c_str());
    EXPECT_EQ(messageOf<EFOpenError>([] { TFileStream("/nonexistent/dir/file", fmOpenRead); })
                  .rfind("Cannot open file \"/nonexistent/dir/file\"", 0),
              0u);
}

TEST(NameValueList, RefilledPairByPair) {
    TdomNameValueList list;
    list.SetPair(0, u"a", u"a value longer than the inline storage");
    list.SetPair(1, u"b", u"2");
    list.SetPair(2, u"c", u"3");
    list.SetPair(0, u"x", u"1"); // in place
    list.Truncate(2);
    ASSERT_EQ(list.getCount(), 2);
    EXPECT_EQ(list.getName(0), u"x");
    EXPECT_EQ(list.getValue(0), u"1");
    EXPECT_EQ(list.getName(1), u"b");
    list.Truncate(5); // more than there are: nothing
    EXPECT_EQ(list.getCount(), 2);
    EXPECT_THROW(list.SetPair(3, u"d", u"4"), EListError); // past the end
    EXPECT_EQ(list.getCount(), 2);
    list.setSorted(true);
    EXPECT_THROW(list.SetPair(0, u"e", u"5"), EListError);
    EXPECT_EQ(list.getName(0), u"b");
}
