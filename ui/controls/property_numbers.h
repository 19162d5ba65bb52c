// The numbers of the controls' properties. 0 to 7 are common to every control
// type; each type numbers its own settings from 8.
#pragma once

namespace lirrevo::ui {

namespace property {
inline constexpr int Left = 0;
inline constexpr int Top = 1;
inline constexpr int Width = 2;
inline constexpr int Height = 3;
inline constexpr int Tag = 4;
inline constexpr int Visible = 5;
inline constexpr int Disabled = 6;
inline constexpr int MousePointer = 7;
// The first number of a type's own settings.
inline constexpr int FirstSetting = 8;
}  // namespace property

namespace window_setting {
inline constexpr int Caption = 8;
inline constexpr int Border = 9;
inline constexpr int BackColor = 10;
inline constexpr int Picture = 11;
inline constexpr int PictureLayout = 12;
inline constexpr int Sound = 13;
inline constexpr int SoundMode = 14;
inline constexpr int ControlBox = 15;
inline constexpr int MaxButton = 16;
inline constexpr int MinButton = 17;
inline constexpr int StartPosition = 18;
inline constexpr int Movable = 19;
inline constexpr int Icon = 20;
inline constexpr int EnterMovesFocus = 21;
inline constexpr int EscCloses = 22;
inline constexpr int F1OpensHelp = 23;
inline constexpr int HelpFile = 24;
inline constexpr int HelpTopic = 25;
inline constexpr int ShowInTaskbar = 26;
inline constexpr int DragAnywhere = 27;
inline constexpr int Shape = 28;
inline constexpr int AlwaysOnTop = 29;
inline constexpr int ExtraSwitch = 30;
inline constexpr int ClassName = 31;
}  // namespace window_setting

namespace label {
inline constexpr int Caption = 8;
inline constexpr int Effect = 9;
inline constexpr int Border = 10;
inline constexpr int GradientBorderWidth = 11;
inline constexpr int GradientBorderColor1 = 12;
inline constexpr int GradientBorderColor2 = 13;
inline constexpr int GradientBorderColor3 = 14;
inline constexpr int Font = 15;
inline constexpr int TextColor = 16;
inline constexpr int BackColor = 17;
inline constexpr int Picture = 18;
inline constexpr int PictureLayout = 19;
inline constexpr int GradientMode = 20;
inline constexpr int GradientColor1 = 21;
inline constexpr int GradientColor2 = 22;
inline constexpr int GradientColor3 = 23;
inline constexpr int HorizontalAlign = 24;
inline constexpr int WordWrap = 25;
inline constexpr int VerticalAlign = 26;
inline constexpr int BindingText1 = 27;
inline constexpr int BindingText2 = 28;
}  // namespace label

namespace button {
inline constexpr int Picture = 8;
inline constexpr int ButtonType = 9;
inline constexpr int Caption = 10;
inline constexpr int HorizontalAlign = 11;
inline constexpr int VerticalAlign = 12;
inline constexpr int Font = 13;
}  // namespace button

namespace edit_box {
inline constexpr int Content = 8;
inline constexpr int Border = 9;
inline constexpr int TextColor = 10;
inline constexpr int BackColor = 11;
inline constexpr int Font = 12;
inline constexpr int HideSelection = 13;
inline constexpr int MaxLength = 14;
inline constexpr int MultiLine = 15;
inline constexpr int ScrollBars = 16;
inline constexpr int Alignment = 17;
inline constexpr int InputMode = 18;
inline constexpr int PasswordChar = 19;
inline constexpr int CaseConversion = 20;
inline constexpr int SpinMode = 21;
inline constexpr int SpinMin = 22;
inline constexpr int SpinMax = 23;
inline constexpr int SelStart = 24;
inline constexpr int SelLength = 25;
inline constexpr int SelText = 26;
inline constexpr int BindingText1 = 27;
inline constexpr int BindingText2 = 28;
}  // namespace edit_box

namespace group_box {
inline constexpr int Caption = 8;
inline constexpr int Alignment = 9;
inline constexpr int TextColor = 10;
inline constexpr int BackColor = 11;
inline constexpr int Font = 12;
}  // namespace group_box

namespace common_dialog {
inline constexpr int Kind = 8;
inline constexpr int Title = 9;
inline constexpr int FileName = 10;
inline constexpr int Filter = 11;
inline constexpr int InitialFilterIndex = 12;
inline constexpr int InitialFolder = 13;
inline constexpr int DefaultExtension = 14;
inline constexpr int CreatePrompt = 15;
inline constexpr int FileMustExist = 16;
inline constexpr int OverwritePrompt = 17;
inline constexpr int PathMustExist = 18;
inline constexpr int NoChangeFolder = 19;
inline constexpr int FontColor = 20;
inline constexpr int FontBold = 21;
inline constexpr int FontItalic = 22;
inline constexpr int FontUnderline = 23;
inline constexpr int FontStrikeout = 24;
inline constexpr int FontName = 25;
inline constexpr int FontSize = 26;
inline constexpr int HelpFile = 27;
inline constexpr int HelpCommand = 28;
inline constexpr int HelpTopic = 29;
}  // namespace common_dialog

// The web panel's settings, numbered in the order in which they are applied.
namespace web_browser {
inline constexpr int BorderStyle = 8;
inline constexpr int Silent = 9;
inline constexpr int Offline = 10;
inline constexpr int RegisterAsDropTarget = 11;
inline constexpr int RegisterAsBrowser = 12;
}  // namespace web_browser

}  // namespace lirrevo::ui
