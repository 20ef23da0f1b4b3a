// The main window's menu entries and tool buttons open the reference-data windows.
#include "RefFixture.h"
#include "refdata/Register.h"
#include "shell/UMain.h"

TEST_F(RefDataTest, TheMainWindowOpensEachReferenceWindowModally) {
  RegisterRefDataWindows();
  const std::pair<QString, QString> windows[] = {
      {WindowKey::Region, "TfrmRegion"}, {WindowKey::Site, "TfrmSite"},   {WindowKey::Imprim, "TfrmImprim"},
      {WindowKey::Client, "TfrmClient"}, {WindowKey::Titres, "TfrmTitres"}, {WindowKey::OrgaD, "TfrmOrgaD"},
      {WindowKey::Liste, "TfrmListe"}};
  for (const auto& [key, cls] : windows) {
    dlg->QueueModal([](QWidget* w) {
      EXPECT_TRUE(w->isVisible());
      return ModalResult::Cancel;
    });
    ASSERT_TRUE(TfrmMain::OpenWindow(key)) << key.toStdString();
    ASSERT_FALSE(dlg->Asked().empty());
    EXPECT_EQ(dlg->Asked().back().kind, "modal");
    EXPECT_EQ(dlg->Asked().back().text, cls);
  }
}
