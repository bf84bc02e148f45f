// Resource providers and their manager over embedded resources and a folder.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app_fixture.h"
#include "core/render.h"
#include "core/xml.h"
#include "module_without_resources.h"
#include "platform/base/icon.h"

namespace LOOM {
namespace {

class ProvidersTest : public test::AppFixture {
 protected:
  ProvidersTest() : AppFixture(false) {}
};

TEST_F(ProvidersTest, EmbeddedLookupIgnoresCase) {
  IResProvider* pe = provider_.get();
  EXPECT_TRUE(pe->HoldsResource(u"LAYOUT", u"XML_MAINWND"));
  EXPECT_TRUE(pe->HoldsResource(u"layout", u"xml_mainwnd"));
  EXPECT_TRUE(pe->HoldsResource(u"image", u"image_关闭按钮-30x30_png"));
  EXPECT_TRUE(pe->HoldsResource(u"IMAGE", u"IMAGE_ICON_PNG"));
  EXPECT_FALSE(pe->HoldsResource(u"image", u"image_背景_jpg"));
  EXPECT_TRUE(pe->HoldsResource(u"icon", u"icon_logo"));  // group icon type
  EXPECT_FALSE(pe->HoldsResource(u"LAYOUT", u"XML_MAINWND2"));
  EXPECT_EQ(pe->ResourceSize(u"layout", u"nothing"), 0u);
}

TEST_F(ProvidersTest, CopyResourceBytesRefusesAShortBufferWithError122) {
  std::size_t size = provider_->ResourceSize(u"LAYOUT", u"XML_MAINWND");
  ASSERT_GT(size, 10u);
  std::vector<char> buf(size - 1, 'x');
  platform::SetLastErrorCode(0);
  EXPECT_FALSE(provider_->CopyResourceBytes(u"LAYOUT", u"XML_MAINWND", buf.data(), buf.size()));
  EXPECT_EQ(platform::LastErrorCode(), 122u);
  EXPECT_EQ(buf[0], 'x');
  buf.resize(size);
  EXPECT_TRUE(provider_->CopyResourceBytes(u"layout", u"xml_mainwnd", buf.data(), buf.size()));
  EXPECT_EQ(std::string(buf.data(), 5), "<?xml");
}

TEST_F(ProvidersTest, ProviderKindsAndMarkupLoading) {
  EXPECT_EQ(NewResourceProvider(2), nullptr);
  app_.ResProviders().AttachProvider(provider_.get());
  SXmlDoc doc;
  EXPECT_TRUE(app_.LoadMarkupDocument(doc, u"XML_MAINWND", u"LAYOUT"));
  EXPECT_EQ(doc.Child().Attribute(u"name").Value(), u"mainWindow");
  EXPECT_FALSE(app_.LoadMarkupDocument(doc, u"XML_NONE", u"LAYOUT"));
  EXPECT_FALSE(app_.LoadMarkupDocument(doc, u"/nonexistent.xml", u"FILE"));
}

TEST_F(ProvidersTest, ImagesByReference) {
  SResProviderMgr& mgr = app_.ResProviders();
  mgr.AttachProvider(provider_.get());
  SAutoRefPtr<IBitmap> icon = SAutoRefPtr<IBitmap>::Adopt(mgr.OpenImageByRef(u"image:image_icon_png"));
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->Size(), (SIZE{21, 21}));
  EXPECT_EQ(static_cast<const std::uint32_t*>(icon->Bits())[0], 0x80808080u);
  EXPECT_EQ(mgr.OpenImageByRef(u"image:image_背景_jpg"), nullptr);
  EXPECT_EQ(mgr.OpenImageByRef(u"image_icon_png"), nullptr);  // one part: not loadable
  SAutoRefPtr<IImgX> frames = SAutoRefPtr<IImgX>::Adopt(mgr.OpenImageFrames(u"IMAGE", u"image_icon_png"));
  ASSERT_TRUE(frames);
  EXPECT_EQ(frames->FrameCount(), 1u);
}

TEST_F(ProvidersTest, IconsByNameAndSize) {
  SResProviderMgr& mgr = app_.ResProviders();
  mgr.AttachProvider(provider_.get());
  struct Case {
    const char16_t* ref;
    int size;
    std::uint32_t pixel;
  };
  for (const Case& c : {Case{u"ICON_LOGO:16", 16, 0xFFFF0000u}, Case{u"ICON_LOGO:32", 32, 0xFF00FF00u},
                        Case{u"icon_logo", 32, 0xFF00FF00u}, Case{u"ICON_LOGO:48", 48, 0xFF0000FFu}}) {
    HICON icon = mgr.OpenIconByRef(c.ref);
    const platform::IconImage* img = platform::GetIconImage(icon);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->width, c.size);
    EXPECT_EQ(img->pixels[0], c.pixel);
    platform::DestroyIcon(icon);
  }
  EXPECT_EQ(mgr.OpenIconByRef(u"LOGO:16"), nullptr);
  EXPECT_EQ(mgr.OpenIconByRef(u"ICON_LOGO:100000"), nullptr);
}

// System cursors by number (IDC_HAND 32649, IDC_SIZEWE 32644, IDC_ARROW 32512).
TEST_F(ProvidersTest, SystemCursorsByNameOrNumber) {
  SResProviderMgr& mgr = app_.ResProviders();
  EXPECT_EQ(mgr.OpenCursor(u"HAND", false), platform::LoadSystemCursor(32649));
  EXPECT_EQ(mgr.OpenCursor(u"sizewe", false), platform::LoadSystemCursor(32644));
  EXPECT_EQ(mgr.OpenCursor(u"32512", false), platform::LoadSystemCursor(32512));
  EXPECT_EQ(mgr.OpenCursor(u"no-such-cursor", false), nullptr);
  EXPECT_EQ(SystemCursorId(u"Help"), 32651);
  EXPECT_EQ(SystemCursorId(u"appstarting"), 0);
}

class FolderProviderTest : public ProvidersTest {
 protected:
  FolderProviderTest() {
    // A folder named in Chinese: on Windows a name read in the system's code page is
    // not found.
    const std::string name = "loom_res_资源_" + std::to_string(::getpid());
    dir_ = std::filesystem::temp_directory_path() / std::u8string(name.begin(), name.end());
    std::filesystem::create_directories(dir_ / "layout");
    Write("uires.idx",
          "<resource><layout><file name=\"XML_MAINWND\" path=\"layout\\main.xml\"/></layout>"
          "<image><file name=\"" + std::string(30, 'n') + "\" path=\"x.png\"/></image>"
          "<aVeryLongTypeNameThatHasThirtyChars><file name=\"a\" path=\"x\"/></aVeryLongTypeNameThatHasThirtyChars>"
          "</resource>");
    Write("layout/main.xml", "<LOOM name=\"fromFolder\"/>");
    folder_ = SAutoRefPtr<IResProvider>::Adopt(NewResourceProvider(1));
  }
  ~FolderProviderTest() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& rel, const std::string& text) { std::ofstream(dir_ / rel) << text; }
  std::filesystem::path dir_;
  SAutoRefPtr<IResProvider> folder_;
};

TEST_F(FolderProviderTest, IndexedFilesAreFoundWithoutRegardToCase) {
  ASSERT_TRUE(OpenFolderSource(folder_.get(), dir_.u16string()));
  EXPECT_TRUE(folder_->HoldsResource(u"LAYOUT", u"xml_mainwnd"));
  EXPECT_EQ(folder_->ResourceSize(u"layout", u"XML_MAINWND"), 25u);
  std::vector<char> small(3);
  platform::SetLastErrorCode(0);
  EXPECT_FALSE(folder_->CopyResourceBytes(u"layout", u"XML_MAINWND", small.data(), small.size()));
  EXPECT_EQ(platform::LastErrorCode(), 122u);
  // A type longer than 29 characters finds nothing.
  EXPECT_FALSE(folder_->HoldsResource(u"aVeryLongTypeNameThatHasThirtyChars", u"a"));
  EXPECT_FALSE(folder_->HoldsResource(u"image", u"x"));
}

TEST_F(FolderProviderTest, FolderWithoutIndexOrResourceElementFailsToOpen) {
  std::filesystem::remove(dir_ / "uires.idx");
  EXPECT_FALSE(OpenFolderSource(folder_.get(), dir_.u16string()));
  Write("uires.idx", "<other/>");
  EXPECT_FALSE(OpenFolderSource(folder_.get(), dir_.u16string()));
  Write("uires.idx", "<resource><broken></resource>");
  EXPECT_FALSE(OpenFolderSource(folder_.get(), dir_.u16string()));
}

TEST_F(FolderProviderTest, LastAddedProviderAnswersFirst) {
  ASSERT_TRUE(OpenFolderSource(folder_.get(), dir_.u16string()));
  SResProviderMgr& mgr = app_.ResProviders();
  mgr.AttachProvider(provider_.get());
  mgr.AttachProvider(folder_.get());
  SXmlDoc doc;
  ASSERT_TRUE(app_.LoadMarkupDocument(doc, u"XML_MAINWND", u"LAYOUT"));
  EXPECT_EQ(doc.Child().Attribute(u"name").Value(), u"fromFolder");
  mgr.DetachProvider(folder_.get());
  ASSERT_TRUE(app_.LoadMarkupDocument(doc, u"XML_MAINWND", u"LAYOUT"));
  EXPECT_EQ(doc.Child().Attribute(u"name").Value(), u"mainWindow");
  EXPECT_EQ(mgr.ProviderCount(), 1u);
}

TEST_F(FolderProviderTest, FileTypeAsksNoProvider) {
  SResProviderMgr& mgr = app_.ResProviders();
  std::u16string path = (dir_ / "layout" / "main.xml").u16string();
  EXPECT_TRUE(mgr.HoldsResource(u"FILE", path));
  EXPECT_EQ(mgr.ResourceSize(u"file", path), 25u);
  EXPECT_FALSE(mgr.HoldsResource(u"FILE", path + u".missing"));
  EXPECT_EQ(mgr.ProviderHolding(u"", u"x"), nullptr);
}

TEST_F(ProvidersTest, SystemResourcesLoadAndTheProviderIsRemovedAgain) {
  EXPECT_EQ(app_.InstallSystemResources(provider_.get()), 0);
  EXPECT_EQ(app_.ResProviders().ProviderCount(), 0u);
  EXPECT_EQ(app_.EditMenuMarkup().Child(u"editmenu").Attribute(u"itemHeight").AsInt(), 26);
  EXPECT_EQ(app_.MsgBoxMarkup().Child(u"LOOM").Attribute(u"title").Value(), u"mesagebox");
  // An empty provider fails all three.
  SAutoRefPtr<IResProvider> empty = SAutoRefPtr<IResProvider>::Adopt(NewResourceProvider(0));
  OpenModuleSource(empty.get(), test::ModuleWithoutResources());
  EXPECT_EQ(app_.InstallSystemResources(empty.get()), 7);
}

}  // namespace
}  // namespace LOOM
