// The volume registry: the newer-volume test, registration, merging and the structure upgrade,
// and the drive's volume label.
#include "RunSupport.h"

#include "Volume.h"

using namespace insttest;

namespace {

class VolumeRegistry : public Volume {
 protected:
  const std::string S = "E:\\REL\\volume.dbf";
  const std::string T = "C:\\INST\\volume.dbf";
  void Installed(const std::vector<Row>& rows, const std::vector<tables::FieldDef>& fields = VolumeFields()) {
    MakeTable(C("INST/volume.dbf"), fields, rows);
  }
  std::vector<std::map<std::string, std::string>> Rows() { return ReadRecords(C("INST/volume.dbf")); }
};

}  // namespace

TEST_F(VolumeRegistry, NewerVolumeTest) {
  EXPECT_EQ(IsVolumeNewer(S, T), 1);  // neither exists
  VolumeRecord({"VOL1", "Desc 1", "XX2024010112000000", "", ""});
  EXPECT_EQ(IsVolumeNewer(S, T), 1);  // first installation
  EXPECT_EQ(VolumeDescription(), "Desc 1");
  Installed({{"VOL1", "old", "2024010112000000", "", ""}});
  EXPECT_EQ(IsVolumeNewer(S, T), 0);  // 18 characters against their last 16: equal
  Installed({{"vol1", "old", "2023010112000000", "", ""}});
  EXPECT_EQ(IsVolumeNewer(S, T), 1);
  Installed({{"VOL1", "old", "", "", ""}});
  EXPECT_EQ(IsVolumeNewer(S, T), 1);  // no date installed
  Installed({{"VOL2", "old", "2099", "", ""}});
  EXPECT_EQ(IsVolumeNewer(S, T), 1);  // another volume
  Installed({{"VOL2", "old", "2099", "", ""}, {"VOL1", "old", "2025", "", ""}});
  EXPECT_EQ(IsVolumeNewer(S, T), 0);
  // An installed registry that is not a table: the volume is installed and replaces it.
  Write(C("INST/volume.dbf"), "not a table");
  bool damaged = false;
  EXPECT_EQ(IsVolumeNewer(S, T, &damaged), 1);
  EXPECT_TRUE(damaged);
  EXPECT_EQ(VolumeDescription(), "Desc 1");
}

TEST_F(VolumeRegistry, FirstRegistrationCopiesTheSourceAndStoresTheDriveLabel) {
  EXPECT_EQ(RegisterVolume(S, T), 1);
  VolumeRecord({"VOL1", "Desc 1", "XX2024010112000000", "", "R"});
  App().Reset();
  App().D = "E";
  std::filesystem::create_directories(C("INST"));
  EXPECT_EQ(RegisterVolume(S, T), 0);
  auto rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["LABEL"], "DISK01");
  EXPECT_EQ(rows[0]["PRODDATE"], "2024010112000000");
  EXPECT_EQ(rows[0]["LANRES"], "R");
  // A second volume is appended; the first updated in place.
  VolumeRecord({"VOL2", "Desc 2", "2024", "L2", ""});
  RegisterVolume(S, T);
  VolumeRecord({"vol1", "Desc 1b", "2025", "", ""});
  RegisterVolume(S, T);
  EXPECT_EQ(VolumeDescription(), "Desc 1b");
  rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["PRODDATE"], "2025");
  EXPECT_EQ(rows[1]["LABEL"], "L2");
  // Without D the label stays empty.
  App().D.reset();
  VolumeRecord({"VOL3", "Desc 3", "2024", "", ""});
  RegisterVolume(S, T);
  EXPECT_EQ(Rows()[2]["LABEL"], "");
  App().Reset();
}

TEST_F(VolumeRegistry, MergeWritesNothingWhenATableDoesNotOpen) {
  VolumeRecord({"VOL1", "Desc 1", "2024", "", ""});
  std::filesystem::create_directories(C("INST"));
  Write(C("INST/volume.dbf"), "not a table");
  MergeVolume(S, T);
  EXPECT_EQ(Read(C("INST/volume.dbf")), "not a table");
  Installed({{"VOL0", "x", "2020", "", ""}});
  Write(E("REL/volume.dbf"), std::string(64, '\x03'));
  MergeVolume(S, T);
  EXPECT_EQ(Rows().size(), 1u);
}

TEST_F(VolumeRegistry, UpgradeGivesTheInstalledTableTheSourcesStructure) {
  auto wider = VolumeFields();
  wider[1].len = 60;          // HR_DESC longer
  wider.push_back({"EXTRA", 'C', 10, 0});
  MakeTable(E("REL/volume.dbf"), wider, {{"VOL9", "A very long description of the volume, longer than 30", "2030", "", "", "X"}},
            {{"BYID", "LOGICALID", "", 0, 0}});
  Installed({{"VOL1", "one", "2020", "L1", "R1"}, {"VOL2", "two", "2021", "L2", "R2"}});
  App().Reset();
  UpgradeVolumeStructure(T, S);
  {
    // The source's index came along and was rebuilt over the installed records.
    auto withIndex = tables::OpenTable(C("INST/volume.dbf"), true);
    ASSERT_EQ(withIndex->openIndex(FindFileNoCase(C("INST/VOLUME.CDX"))), 0);
    EXPECT_EQ(withIndex->index()->tag("BYID")->keyCount(), 2u);
  }
  RegisterVolume(S, T);
  auto t = tables::OpenTable(C("INST/volume.dbf"), true);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->fieldCount(), 6);
  EXPECT_EQ(t->field(1).len, 60);
  t.reset();
  auto rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0]["LOGICALID"], "VOL1");
  EXPECT_EQ(rows[0]["LANRES"], "R1");
  EXPECT_EQ(rows[0]["EXTRA"], "");  // blank in every old record
  EXPECT_EQ(rows[1]["HR_DESC"], "two");
  EXPECT_EQ(rows[2]["HR_DESC"], "A very long description of the volume, longer than 30");
  EXPECT_FALSE(std::filesystem::exists(C("INST/$olume.dbf")));
}

TEST_F(VolumeRegistry, UpgradeWithFewerSourceFieldsReadsNoFurtherThanTheSourceHas) {
  std::vector<tables::FieldDef> narrow = {{"LOGICALID", 'C', 20, 0}, {"PRODDATE", 'C', 18, 0}};
  MakeTable(E("REL/volume.dbf"), narrow, {{"VOL9", "2030"}});
  Installed({{"VOL1", "one", "2020", "L1", "R1"}});
  UpgradeVolumeStructure(T, S);  // LOGICALID longer in the source: the table takes its structure
  auto rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["LOGICALID"], "VOL1");
  EXPECT_EQ(rows[0].count("LANRES"), 0u);
}

TEST_F(VolumeRegistry, NoUpgradeWhenTheStructureIsTheSame) {
  VolumeRecord({"VOL1", "Desc", "2024", "", ""});
  Installed({{"VOL0", "x", "2020", "", ""}});
  auto before = std::filesystem::last_write_time(C("INST/volume.dbf"));
  UpgradeVolumeStructure(T, S);
  EXPECT_EQ(std::filesystem::last_write_time(C("INST/volume.dbf")), before);
}

TEST_F(Volume, DriveLabels) {
  EXPECT_EQ(GetVolumeLabel('e'), "DISK01");
  EXPECT_EQ(GetVolumeLabel('C'), "c");  // no label in the map: the root folder's name
  EXPECT_EQ(GetVolumeLabel('Q'), "");
  setenv("QUILLET_DRIVES", ("C=" + C() + ";F=" + C() + ";F.label=A.B.C").c_str(), 1);
  ReloadDriveMap();
  EXPECT_EQ(GetVolumeLabel('F'), "AB.C");  // only the first dot goes
  setenv("QUILLET_DRIVES", ("C=" + C() + ";E=" + E()).c_str(), 1);
  ReloadDriveMap();
}
