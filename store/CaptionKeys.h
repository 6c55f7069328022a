#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

// Every (form, key) pair that the program looks up in a language database. A complete language
// database holds one `traduccion` row for each of them and no others.

namespace kavenra {

// The number that selects a window's rows in `traduccion`.
enum FormNumber : int {
    kMainWindowForm = 1,
    kOptionsDialogForm = 3,
    kLanguageDialogForm = 4,
    kFolderChooserForm = 5,
    kMessageBoxForm = 6,
    kAboutBoxForm = 7,
};

struct CaptionKey {
    int form;
    std::string_view key;
};

constexpr bool operator==(const CaptionKey& a, const CaptionKey& b) {
    return a.form == b.form && a.key == b.key;
}

// The permanently shown captions, hints and menu texts, in the order in which the window
// translation sets them.
inline constexpr std::array<CaptionKey, 82> kWindowTranslationKeys = {{
    {kOptionsDialogForm, "Form_Caption"},
    {kOptionsDialogForm, "Label8"},
    {kOptionsDialogForm, "GroupBox2"},
    {kOptionsDialogForm, "Button1"},
    {kOptionsDialogForm, "Label7"},
    {kOptionsDialogForm, "RadioButton6"},
    {kOptionsDialogForm, "RadioButton7"},
    {kOptionsDialogForm, "RadioButton9"},
    {kOptionsDialogForm, "RadioButton10"},
    {kOptionsDialogForm, "RadioButton11"},
    {kOptionsDialogForm, "RadioButton12"},
    {kOptionsDialogForm, "RadioButton13"},
    {kOptionsDialogForm, "RadioButton14"},
    {kOptionsDialogForm, "RadioButton15"},
    {kOptionsDialogForm, "RadioButton16"},
    {kOptionsDialogForm, "RadioButton17"},
    {kOptionsDialogForm, "RadioButton18"},
    {kOptionsDialogForm, "ValueListEditor1"},
    {kOptionsDialogForm, "TrackBar1Hint"},
    {kOptionsDialogForm, "RadioButton18Hint"},
    {kOptionsDialogForm, "saveAsGroup"},
    {kOptionsDialogForm, "saveAsOriginalButton"},
    {kOptionsDialogForm, "webpQualityLabel"},
    {kOptionsDialogForm, "webpLosslessBox"},
    {kOptionsDialogForm, "fastJpegDecodingBox"},
    {kOptionsDialogForm, "saveAsGroupHint"},
    {kOptionsDialogForm, "moreChoicesGroup"},
    {kOptionsDialogForm, "noEnlargeBox"},
    {kOptionsDialogForm, "fitWithinBox"},
    {kOptionsDialogForm, "keepDatesBox"},
    {kOptionsDialogForm, "subfoldersBox"},
    {kOptionsDialogForm, "removeLocationBox"},
    {kOptionsDialogForm, "sizeBudgetBox"},
    {kMainWindowForm, "MainMenu1"},
    {kMainWindowForm, "MainMenu1Sub1"},
    {kMainWindowForm, "MainMenu1Sub2"},
    {kMainWindowForm, "MainMenu1Sub3"},
    {kMainWindowForm, "MainMenu2"},
    {kMainWindowForm, "MainMenu2Sub1"},
    {kMainWindowForm, "MainMenu2Sub2"},
    {kMainWindowForm, "MainMenu3"},
    {kMainWindowForm, "MainMenu3Sub1"},
    {kMainWindowForm, "MainMenu3Sub2"},
    {kMainWindowForm, "PopupMenu1Sub1"},
    {kMainWindowForm, "GroupBox1"},
    {kMainWindowForm, "GroupBox2"},
    {kMainWindowForm, "Label1"},
    {kMainWindowForm, "Label2"},
    {kMainWindowForm, "Label6"},
    {kMainWindowForm, "Label3"},
    {kMainWindowForm, "Label9"},
    {kMainWindowForm, "Label8"},
    {kMainWindowForm, "CheckBox1"},
    {kMainWindowForm, "CheckBox2"},
    {kMainWindowForm, "Button2"},
    {kMainWindowForm, "Button4"},
    {kMainWindowForm, "Button3"},
    {kMainWindowForm, "ListBox1Hint"},
    {kMainWindowForm, "CheckBox2Hint"},
    {kMainWindowForm, "SpeedButton2Hint"},
    {kMainWindowForm, "Button2Hint"},
    {kMainWindowForm, "Edit4Hint"},
    {kMainWindowForm, "RadioButton11"},
    {kFolderChooserForm, "Caption"},
    {kFolderChooserForm, "Button1"},
    {kFolderChooserForm, "Button2"},
    {kAboutBoxForm, "Caption"},
    {kAboutBoxForm, "Button1"},
    {kAboutBoxForm, "Label2"},
    {kAboutBoxForm, "Label4"},
    {kAboutBoxForm, "Label6"},
    {kAboutBoxForm, "Label7"},
    {kAboutBoxForm, "Image15Hint"},
    {kAboutBoxForm, "licenceLabel"},
    {kAboutBoxForm, "creditsButton"},
    {kAboutBoxForm, "creditsCaption"},
    {kAboutBoxForm, "creditsIntroduction"},
    // The options dialog's pages and its Cancel; the language dialog's own texts, which speak
    // the language it preselects at the first run.
    {kOptionsDialogForm, "CancelButton"},
    {kOptionsDialogForm, "FormatsPage"},
    {kOptionsDialogForm, "MoreOptionsPage"},
    {kLanguageDialogForm, "Caption"},
    {kLanguageDialogForm, "Button1"},
}};

// Texts looked up at the moment they are shown: messages and their captions, status-bar texts,
// the JPEG quality label and the message box's buttons.
inline constexpr std::array<CaptionKey, 78> kShownTextKeys = {{
    // The JPEG quality label: SRC1 for track bar position 5 (best quality) ... SRC5 for 1.
    {kOptionsDialogForm, "Label1_from_SRC1"},
    {kOptionsDialogForm, "Label1_from_SRC2"},
    {kOptionsDialogForm, "Label1_from_SRC3"},
    {kOptionsDialogForm, "Label1_from_SRC4"},
    {kOptionsDialogForm, "Label1_from_SRC5"},
    {kMainWindowForm, "ImagenMsg1"},
    {kMainWindowForm, "ImagenMsg2"},
    {kMainWindowForm, "ImagenMsg3"},
    // The name of the supported images in the file dialog of "Add images".
    {kMainWindowForm, "Texto_filtro_imagenes"},
    {kMainWindowForm, "Texto_validar_imagenes"},
    {kMainWindowForm, "Texto_caracter_no_valido"},
    {kMainWindowForm, "Texto_advertencia1"},
    {kMainWindowForm, "Texto_advertencia2"},
    {kMainWindowForm, "Texto_advertencia3"},
    {kMainWindowForm, "Texto_advertencia4"},
    {kMainWindowForm, "Texto_advertencia5"},
    {kMainWindowForm, "Texto_advertencia6"},
    {kMainWindowForm, "Texto_advertencia7"},
    {kMainWindowForm, "Texto_advertencia8"},
    {kMainWindowForm, "Caption_Atencion"},
    {kMainWindowForm, "Texto_redimension"},
    {kMainWindowForm, "Texto_redimension2"},
    {kMainWindowForm, "Texto_redimension3"},
    {kMainWindowForm, "Texto_redimension4"},
    {kMainWindowForm, "Texto_redimension5"},
    {kMainWindowForm, "Texto_redimension6"},
    {kMainWindowForm, "Texto_motivo1"},
    {kMainWindowForm, "Texto_motivo2"},
    {kMainWindowForm, "Texto_motivo3"},
    {kMainWindowForm, "Texto_motivo4"},
    {kMainWindowForm, "Texto_motivo5"},
    {kMainWindowForm, "Texto_motivo6"},
    {kMainWindowForm, "Texto_motivo7"},
    {kMainWindowForm, "Texto_motivo8"},
    {kMainWindowForm, "Texto_motivo9"},
    {kMainWindowForm, "Texto_motivo10"},
    {kMainWindowForm, "Texto_motivo11"},
    {kMainWindowForm, "Texto_motivo12"},
    {kMainWindowForm, "Texto_motivo13"},
    {kMainWindowForm, "Texto_motivo14"},
    {kMainWindowForm, "Texto_fallo1"},
    {kMainWindowForm, "Texto_fallo2"},
    {kMainWindowForm, "Texto_resumen1"},
    {kMainWindowForm, "Texto_resumen2"},
    {kMainWindowForm, "Texto_resumen3"},
    {kMainWindowForm, "Texto_resumen4"},
    {kMainWindowForm, "Texto_resumen5"},
    {kMainWindowForm, "Texto_resumen6"},
    {kMainWindowForm, "Texto_resumen7"},
    {kMainWindowForm, "Texto_lista1"},
    {kMainWindowForm, "ActualizacionCaption"},
    {kMainWindowForm, "ActualizacionTexto"},
    {kFolderChooserForm, "InputBox_Carpeta"},
    {kFolderChooserForm, "InputBox_Carpeta2"},
    {kFolderChooserForm, "MsgBox_Carpeta"},
    {kFolderChooserForm, "MsgBox_Error"},
    {kFolderChooserForm, "MsgBox_Carpeta2"},
    {kMessageBoxForm, "Button1"},
    {kMessageBoxForm, "Button2"},
    {kMainWindowForm, "Texto_no_puedo"},
    {kMainWindowForm, "Texto_abrir_carpeta"},
    {kLanguageDialogForm, "MsgBox_Idioma"},
    {kFolderChooserForm, "InputBox_Cancelar"},
    {kMessageBoxForm, "Button3"},
    // The end of the list's check when something was left out: the count, and each reason
    // followed by the names it left out.
    {kMainWindowForm, "ImagenMsg5"},
    {kMainWindowForm, "Texto_fuera_no_existe"},
    {kMainWindowForm, "Texto_fuera_no_imagen"},
    {kMainWindowForm, "Texto_fuera_no_legible"},
    {kMainWindowForm, "Texto_fuera_carpeta"},
    // A run's progress on the status bar; the questions after a failed file and on closing
    // during a run, with their buttons; the summary's line for a run stopped before its end; the
    // language dialog's invitation at the first run and from the menu.
    {kMainWindowForm, "Texto_progreso"},
    {kMainWindowForm, "Texto_linea_restante"},
    {kMainWindowForm, "Texto_boton_seguir"},
    {kMainWindowForm, "Texto_boton_detener"},
    {kMainWindowForm, "Texto_boton_cerrar"},
    {kMainWindowForm, "Texto_cerrar_en_curso"},
    {kMainWindowForm, "Texto_resumen8"},
    {kLanguageDialogForm, "Label1"},
    {kLanguageDialogForm, "Label1_menu"},
}};

// Texts of a run from the command line, shown on the terminal and in no control of fixed room
// (the first two also in the status bar's tooltip, which takes any length): inputs that bring
// nothing; the files of named folders left out; the window asked for where there is no display;
// a desktop notification that could not be shown.
inline constexpr std::array<CaptionKey, 5> kTerminalTextKeys = {{
    {kMainWindowForm, "Texto_motivo_no_existe"},
    {kMainWindowForm, "Texto_motivo_carpeta_vacia"},
    {kMainWindowForm, "Texto_resumen_omitidos"},
    {kMainWindowForm, "Texto_sin_pantalla"},
    {kMainWindowForm, "Texto_notificacion_fallida"},
}};

// The line a failed conversion's message adds under Texto_redimension3, indexed by the engine's
// FailureReason (the main window's texts); the first, no reason, adds none.
inline constexpr std::array<const char*, 15> kFailureReasonKeys = {{
    nullptr,
    "Texto_motivo1",   // not a supported or a damaged picture
    "Texto_motivo2",   // too large for the memory available
    "Texto_motivo3",   // took too long
    "Texto_motivo4",   // the destination cannot be written
    "Texto_motivo5",   // the disk is full
    "Texto_motivo6",   // the file vanished or changed
    "Texto_motivo7",   // the file is incomplete
    "Texto_motivo8",   // the file may not be read
    "Texto_motivo9",   // the destination is not a folder
    "Texto_motivo10",  // the output's name is taken by something that is not a file
    "Texto_motivo11",  // the output would replace a source of the run
    "Texto_motivo12",  // the picture's data is damaged
    "Texto_motivo13",  // larger than the output format can hold
    "Texto_motivo14",  // the output's path is too long
}};

// Every pair a complete language database holds: the window translation's keys in their order,
// then the shown texts, then the terminal's.
std::vector<CaptionKey> AllCaptionKeys();

bool IsKnownCaptionKey(int form, std::string_view key);

}  // namespace kavenra
