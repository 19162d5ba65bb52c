#include "ui/window_template.h"

#include "core/document/link_list.h"
#include "ui/controls/property_numbers.h"

namespace lirrevo::ui {
namespace {

Setting Int(int number, std::int32_t value) { return {number, value}; }
Setting Bool(int number, bool value) { return {number, value}; }
Setting Text(int number, std::string_view gbk) { return {number, std::string(gbk)}; }

// "Lirrevo - lirrevo.example.org制作"
constexpr std::string_view kWindowCaption = "Lirrevo - lirrevo.example.org\xD6\xC6\xD7\xF7";
// "生成"
constexpr std::string_view kButtonCaption = "\xC9\xFA\xB3\xC9";
// "死链地址：一行一条"
constexpr std::string_view kGroupCaption =
    "\xCB\xC0\xC1\xB4\xB5\xD8\xD6\xB7\xA3\xBA\xD2\xBB\xD0\xD0\xD2\xBB\xCC\xF5";
// "XML文件（*.xml）|*.xml"
constexpr std::string_view kDialogFilter = "XML\xCE\xC4\xBC\xFE\xA3\xA8*.xml\xA3\xA9|*.xml";

std::vector<Setting> WindowSettings() {
  using namespace window_setting;
  return {Text(Caption, kWindowCaption),
          Int(Border, 2),
          Int(BackColor, DefaultColor),
          Text(Picture, ""),
          Int(PictureLayout, 1),
          Text(Sound, ""),
          Int(SoundMode, 0),
          Bool(ControlBox, true),
          Bool(MaxButton, false),
          Bool(MinButton, true),
          Int(StartPosition, 1),
          Bool(Movable, true),
          Text(Icon, ""),
          Bool(EnterMovesFocus, false),
          Bool(EscCloses, true),
          Bool(F1OpensHelp, false),
          Text(HelpFile, ""),
          Int(HelpTopic, 0),
          Bool(ShowInTaskbar, true),
          Bool(DragAnywhere, false),
          Int(Shape, 0),
          Bool(AlwaysOnTop, false),
          Bool(ExtraSwitch, false),
          Text(ClassName, "")};
}

ControlTemplate Label() {
  using namespace label;
  return {.name = std::string(LabelName),
          .type = ControlType::Label,
          .left = 80,
          .top = 443,
          .width = 360,
          .height = 24,
          .shown = true,
          .tab_stop = false,
          .settings = {Text(Caption, FormatLinkCount(0)),
                       Int(Effect, 0),
                       Int(Border, 0),
                       Int(GradientBorderWidth, 8),
                       Int(GradientBorderColor1, 0),
                       Int(GradientBorderColor2, 0),
                       Int(GradientBorderColor3, 0),
                       Text(Font, ""),
                       Int(TextColor, 0x000000),
                       Int(BackColor, DefaultColor),
                       Text(Picture, ""),
                       Int(PictureLayout, 0),
                       Int(GradientMode, 0),
                       Int(GradientColor1, 0),
                       Int(GradientColor2, 0),
                       Int(GradientColor3, 0),
                       Int(HorizontalAlign, 2),
                       Bool(WordWrap, false),
                       Int(VerticalAlign, 1),
                       Text(BindingText1, ""),
                       Text(BindingText2, "")}};
}

ControlTemplate Dialog() {
  using namespace common_dialog;
  return {.name = std::string(DialogName),
          .type = ControlType::CommonDlg,
          .left = 445,
          .top = 410,
          .width = 26,
          .height = 26,
          .shown = false,
          .tab_stop = false,
          .settings = {Int(Kind, 1),
                       Text(Title, ""),
                       Text(FileName, ""),
                       Text(Filter, kDialogFilter),
                       Int(InitialFilterIndex, 0),
                       Text(InitialFolder, ""),
                       Text(DefaultExtension, "xml"),
                       Bool(CreatePrompt, false),
                       Bool(FileMustExist, true),
                       Bool(OverwritePrompt, true),
                       Bool(PathMustExist, true),
                       Bool(NoChangeFolder, false),
                       Int(FontColor, 0),
                       Bool(FontBold, false),
                       Bool(FontItalic, false),
                       Bool(FontUnderline, false),
                       Bool(FontStrikeout, false),
                       Text(FontName, ""),
                       Int(FontSize, 0),
                       Text(HelpFile, ""),
                       Int(HelpCommand, 0),
                       Int(HelpTopic, 0)}};
}

ControlTemplate WebPanel() {
  using namespace web_browser;
  return {.name = std::string(WebPanelName),
          .type = ControlType::WebBrowser,
          .left = 532,
          .top = -1,
          .width = 217,
          .height = 474,
          .shown = true,
          .tab_stop = true,
          .settings = {Int(BorderStyle, 3), Bool(Silent, false), Bool(Offline, false),
                       Bool(RegisterAsDropTarget, true), Bool(RegisterAsBrowser, false)}};
}

ControlTemplate Button() {
  using namespace button;
  return {.name = std::string(ButtonName),
          .type = ControlType::Button,
          .left = 446,
          .top = 437,
          .width = 80,
          .height = 32,
          .shown = true,
          .tab_stop = true,
          .settings = {Text(Picture, ""), Int(ButtonType, 0), Text(Caption, kButtonCaption),
                       Int(HorizontalAlign, 1), Int(VerticalAlign, 1), Text(Font, "")}};
}

ControlTemplate EditBox() {
  using namespace edit_box;
  return {.name = std::string(EditBoxName),
          .type = ControlType::EditBox,
          .parent = std::string(GroupBoxName),
          .left = 1,
          .top = 14,
          .width = 522,
          .height = 415,
          .shown = true,
          .tab_stop = true,
          .settings = {Text(Content, ""),        Int(Border, 1),         Int(TextColor, 0x000000),
                       Int(BackColor, 0xFFFFFF), Text(Font, ""),         Bool(HideSelection, true),
                       Int(MaxLength, 0),        Bool(MultiLine, true),  Int(ScrollBars, 3),
                       Int(Alignment, 0),        Int(InputMode, 0),      Text(PasswordChar, "*"),
                       Int(CaseConversion, 0),   Int(SpinMode, 0),       Int(SpinMin, 0),
                       Int(SpinMax, 100),        Int(SelStart, 0),       Int(SelLength, 0),
                       Text(SelText, ""),        Text(BindingText1, ""), Text(BindingText2, "")}};
}

ControlTemplate GroupBox() {
  using namespace group_box;
  return {.name = std::string(GroupBoxName),
          .type = ControlType::GroupBox,
          .left = 2,
          .top = 5,
          .width = 525,
          .height = 431,
          .shown = true,
          .tab_stop = false,
          .settings = {Text(Caption, kGroupCaption), Int(Alignment, 0), Int(TextColor, 0x000000),
                       Int(BackColor, DefaultColor), Text(Font, "")}};
}

WindowTemplate MakeStartupWindowTemplate() {
  return {.left = 50,
          .top = 50,
          .width = 760,
          .height = 504,
          .settings = WindowSettings(),
          .controls = {Label(), Dialog(), WebPanel(), Button(), EditBox(), GroupBox()}};
}

}  // namespace

const WindowTemplate& StartupWindowTemplate() {
  static const WindowTemplate kTemplate = MakeStartupWindowTemplate();
  return kTemplate;
}

}  // namespace lirrevo::ui
