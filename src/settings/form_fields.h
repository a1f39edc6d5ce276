#pragma once
// Every field of the parameters window, named once. The strings are the
// controls' own names (they are also the widgets' object names and the
// names --set takes); code refers to the fields through these constants
// only, so a misspelt name fails to compile instead of reading an empty
// field or attaching a handler that never fires.

#include <array>
#include <cstddef>
#include <string_view>

namespace tavelo {

// A field's name: a string_view that only this header makes.
struct FieldName : std::string_view {
  constexpr explicit FieldName(const char* name) : std::string_view(name) {}
};

// Plot parameters tab: text boxes.
inline constexpr FieldName kPlotTitle{"Text1"};            // plot title
inline constexpr FieldName kFirstTrace{"Text2"};           // first trace number to plot
inline constexpr FieldName kLastTrace{"Text3"};            // last trace number to print
inline constexpr FieldName kPlotWidthMm{"Text4"};          // plot width (mm)
inline constexpr FieldName kProfileHeightMm{"Text5"};      // profile height (mm)
inline constexpr FieldName kTimeToDrawMs{"Text6"};         // total time to draw (ms)
inline constexpr FieldName kTimeLineSpacingMs{"Text7"};    // time line spacing (ms)
inline constexpr FieldName kLeftMarginMm{"Text8"};         // left margin (mm)
inline constexpr FieldName kSectionTopMm{"Text9"};         // section's distance to page top (mm)
inline constexpr FieldName kLabelSpacing{"Text10"};        // label spacing (CDP or traces)
inline constexpr FieldName kPaperSize{"Text11"};           // paper size "W x H" (mm), read only
inline constexpr FieldName kTraceSizeFactor{"Text12"};     // trace size factor
inline constexpr FieldName kLeftOrientation{"Text13"};     // left orientation text
inline constexpr FieldName kRightOrientation{"Text14"};    // right orientation text
inline constexpr FieldName kFoldMaximum{"Text15"};         // fold maximum (0 = header values)
inline constexpr FieldName kSuFilePath{"Text16"};          // active SU file, full path
inline constexpr FieldName kDatum{"Text17"};               // datum elevation
inline constexpr FieldName kFoldTopMm{"Text18"};           // fold graph's distance to page top (mm)
inline constexpr FieldName kElevationTopMm{"Text19"};      // elevation graph's distance to page top (mm)
inline constexpr FieldName kStaticsTopMm{"Text20"};        // statics graph's distance to page top (mm)
inline constexpr FieldName kVelocityModelFile{"Text21"};   // velocity model (pick) file
inline constexpr FieldName kFirstLabel{"Text22"};          // number carried by the first label
inline constexpr FieldName kHistoryTopMm{"Text23"};        // history's distance to page top (mm), unused
inline constexpr FieldName kDiagramHeightMm{"Text24"};     // fold, statics, elevation graph height (mm)
inline constexpr FieldName kDiagramLineWidth{"Text25"};    // fold, statics, elevation line width
inline constexpr FieldName kFoldFillColorBox{"Text26"};    // fold fill colour box
inline constexpr FieldName kTopoLineColorBox{"Text27"};    // topo line colour box
inline constexpr FieldName kStaticLineColorBox{"Text28"};  // static line colour box
inline constexpr FieldName kFoldLineColorBox{"Text29"};    // fold line colour box
inline constexpr FieldName kPrinterName{"Text30"};         // printer name (Virtual plot tab)
inline constexpr FieldName kShownFileName{"Text31"};       // active file shown beside the printer name
inline constexpr FieldName kTraceSpacingM{"Text32"};       // trace spacing (m on the ground)
inline constexpr FieldName kScaleDenominator{"Text33"};    // scale denominator (1 : n)
inline constexpr FieldName kNoiseAmplitude{"amplimite"};   // noise reduction amplitude

// Plot parameters tab: check boxes.
inline constexpr FieldName kEqualization{"Egal"};           // trace equalisation
inline constexpr FieldName kFoldDrawing{"fold"};            // fold graph below the section
inline constexpr FieldName kInverseTraces{"Inverse_trace"}; // traces in reverse order
inline constexpr FieldName kTopoDrawing{"topo"};            // topography line on the section
inline constexpr FieldName kTimeSection{"time"};            // time section, else depth section
inline constexpr FieldName kDeadTraces{"Dead"};             // dead traces drawn
inline constexpr FieldName kVelocityDrawing{"velocity"};    // velocity model drawn
inline constexpr FieldName kPrintHistory{"prn"};            // history printed on the page
inline constexpr FieldName kCdpNumbering{"CDP"};            // labels carry CDP numbers, else trace numbers
inline constexpr FieldName kStationNumbers{"Station"};      // station numbers printed
inline constexpr FieldName kStaticsPanel{"Statik"};         // statics graph
inline constexpr FieldName kElevationDiagram{"Alti"};       // elevation graph

// Lists.
inline constexpr FieldName kDisplayType{"combo1"};         // display type (normal, color, ...)
inline constexpr FieldName kStationHeaderWord{"Combo2"};   // header word printed as station
inline constexpr FieldName kFontList{"ListePolices"};      // printer font families
inline constexpr FieldName kZoomPercent{"cmbPercent"};     // preview zoom percentage
inline constexpr FieldName kZoomMode{"cmbZoomMode"};       // preview zoom mode

// Captions and the tab control.
inline constexpr FieldName kLanguageCaption{"Label18"};    // language of the settings
inline constexpr FieldName kFirstLabelCaption{"Label20"};  // caption of the first-label field
inline constexpr FieldName kHistoryCaption{"Label32"};     // history file shown in the editor
inline constexpr FieldName kTabs{"SSTab1"};                // shown tab: 0 parameters, 1 virtual plot, 2 tools

// Buttons.
inline constexpr FieldName kDisplayButton{"Command1"};        // "OK  Display": builds the page
inline constexpr FieldName kLoadSuFileButton{"Command2"};     // "Load an SU file"
inline constexpr FieldName kHowToUseButton{"Command3"};       // "How to use Tavelo"
inline constexpr FieldName kVelocityModelButton{"Command4"};  // chooses the velocity file
inline constexpr FieldName kPrintHistoryButton{"Command5"};   // prints the editor text
inline constexpr FieldName kSaveAndExitButton{"Command101"};  // "OK, Save and EXIT"
inline constexpr FieldName kRecordWmfButton{"Record_WMF"};    // metafile of the page
inline constexpr FieldName kCopyButton{"Cp"};                 // page picture to the clipboard
inline constexpr FieldName kGraphicsProgramButton{"Cor"};     // starts the external graphics program
inline constexpr FieldName kPrintButton{"cmdPrint"};          // prints the ended page
inline constexpr FieldName kPrinterSetupButton{"cmdPrinterSetup"};  // printer dialog, then paper size
inline constexpr FieldName kPageSetupButton{"cmdPageSetup"};  // paper and margins
inline constexpr FieldName kPhysicalPage{"chkPhysicalPage"};  // preview: whole sheet, else printable part
inline constexpr FieldName kShowGuides{"chkShowGuides"};      // preview: margin guides

// Menus and their entries (clicks and the enabled state only).
inline constexpr FieldName kEditorMenu{"editeur"};            // Editor menu, enabled on the Tools tab
inline constexpr FieldName kUtilityMenu{"util"};              // utility menu
inline constexpr FieldName kOpenFileItem{"of"};               // Editor: open file
inline constexpr FieldName kSaveFileItem{"sf"};               // Editor: save file
inline constexpr FieldName kFindTextItem{"df"};               // utility: find text
inline constexpr FieldName kReplaceTextItem{"rtx"};           // utility: replace text
inline constexpr FieldName kEditorFontItem{"ft"};             // utility: editor font
inline constexpr FieldName kPrintTextItem{"pt"};              // utility: print the editor text
inline constexpr FieldName kTopoColorItem{"topo_color"};      // Options: topo line colour
inline constexpr FieldName kStaticColorItem{"static_color"};  // Options: static line colour
inline constexpr FieldName kDiagramHeightItem{"f_height"};    // Options: graph height
inline constexpr FieldName kDiagramLineWidthItem{"Line_w"};   // Options: graph line width
inline constexpr FieldName kTopoLineWidthItem{"Topo_large"};  // Options: topo line width
inline constexpr FieldName kFoldLineColorItem{"fold_line"};   // Options: fold line colour
inline constexpr FieldName kFoldFillColorItem{"fold_fill_color"};  // Options: fold fill colour
inline constexpr FieldName kAmplitudeColorsItem{"amp"};       // Options: brings the palette forward

// Tools tab: the amplitude palette's boxes, numbered 101..128 as the window
// numbers them: 16 small colour boxes (101..116), the anchors A, B, C
// (117..119) and their red, green, blue components (120..128).
inline constexpr std::array<FieldName, 28> kPaletteFields{
    FieldName{"Text101"}, FieldName{"Text102"}, FieldName{"Text103"}, FieldName{"Text104"},
    FieldName{"Text105"}, FieldName{"Text106"}, FieldName{"Text107"}, FieldName{"Text108"},
    FieldName{"Text109"}, FieldName{"Text110"}, FieldName{"Text111"}, FieldName{"Text112"},
    FieldName{"Text113"}, FieldName{"Text114"}, FieldName{"Text115"}, FieldName{"Text116"},
    FieldName{"Text117"}, FieldName{"Text118"}, FieldName{"Text119"}, FieldName{"Text120"},
    FieldName{"Text121"}, FieldName{"Text122"}, FieldName{"Text123"}, FieldName{"Text124"},
    FieldName{"Text125"}, FieldName{"Text126"}, FieldName{"Text127"}, FieldName{"Text128"}};
inline constexpr int kFirstPaletteField = 101;
inline constexpr int kFirstAnchorField = 117;
inline constexpr int kFirstComponentField = 120;

// The palette box numbered `number` (101..128); out of range is a fault of
// the caller and throws std::out_of_range.
constexpr FieldName PaletteField(int number) {
  return kPaletteFields.at(static_cast<size_t>(number - kFirstPaletteField));
}

// Every field above except the palette boxes, for the checks that the form
// and the window know each of them.
inline constexpr FieldName kNamedFields[] = {
    kPlotTitle, kFirstTrace, kLastTrace, kPlotWidthMm, kProfileHeightMm, kTimeToDrawMs,
    kTimeLineSpacingMs, kLeftMarginMm, kSectionTopMm, kLabelSpacing, kPaperSize,
    kTraceSizeFactor, kLeftOrientation, kRightOrientation, kFoldMaximum, kSuFilePath, kDatum,
    kFoldTopMm, kElevationTopMm, kStaticsTopMm, kVelocityModelFile, kFirstLabel, kHistoryTopMm,
    kDiagramHeightMm, kDiagramLineWidth, kFoldFillColorBox, kTopoLineColorBox,
    kStaticLineColorBox, kFoldLineColorBox, kPrinterName, kShownFileName, kTraceSpacingM,
    kScaleDenominator, kNoiseAmplitude, kEqualization, kFoldDrawing, kInverseTraces,
    kTopoDrawing, kTimeSection, kDeadTraces, kVelocityDrawing, kPrintHistory, kCdpNumbering,
    kStationNumbers, kStaticsPanel, kElevationDiagram, kDisplayType, kStationHeaderWord,
    kFontList, kZoomPercent, kZoomMode, kLanguageCaption, kFirstLabelCaption, kHistoryCaption,
    kTabs, kDisplayButton, kLoadSuFileButton, kHowToUseButton, kVelocityModelButton,
    kPrintHistoryButton, kSaveAndExitButton, kRecordWmfButton, kCopyButton,
    kGraphicsProgramButton, kPrintButton, kPrinterSetupButton, kPageSetupButton, kPhysicalPage,
    kShowGuides, kEditorMenu, kUtilityMenu, kOpenFileItem, kSaveFileItem, kFindTextItem,
    kReplaceTextItem, kEditorFontItem, kPrintTextItem, kTopoColorItem, kStaticColorItem,
    kDiagramHeightItem, kDiagramLineWidthItem, kTopoLineWidthItem, kFoldLineColorItem,
    kFoldFillColorItem, kAmplitudeColorsItem};

}  // namespace tavelo
