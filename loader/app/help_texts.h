#pragma once

namespace zamel {

// A modal box of text with an "OK" button: the about box and the four help boxes.
struct HelpBox {
    const char* title;
    const char* text;
};

inline constexpr HelpBox kAboutBox{"About zamel", "zamel Version 1.14"};

inline constexpr HelpBox kFileHelp{
    "File Help", "Use &File to select code and/or database files to be uploaded to GPS unit."};

inline constexpr HelpBox kUploadHelp{
    "Upload Help",
    "Use &Upload to start loading code and/or data files to GPS unit (if not using &Auto).  "
    "Just power on GPS unit and ZAMEL will connect, identify the unit type, and start the "
    "upload process.  "
    "If code/data files have NOT been selected, the user will be prompted to select them."
    "\n\n"
    "If using &Expert mode, be sure GPS unit is in SOFTWARE UPLOAD MODE to load code/pois or "
    "in MAP UPLOAD to load map files."};

inline constexpr HelpBox kAutoHelp{
    "Auto Help",
    "Use &Auto to automatically upload the latest version of code/data to the GPS unit.  "
    "Power on GPS unit and click on &Auto.  ZAMEL will connect to unit, identify unit type, "
    "and upload code/data files specified in ZAMEL.INI."};

inline constexpr HelpBox kExpertHelp{
    "Expert Help",
    "Use &Expert to select unit type and COM port when loading code or data to GPS unit using "
    "SOFTWARE LOAD MODE or MAP UPLOAD."
    "\n\n"
    "After setting these parameters, click on &Upload to start the upload process."};

}  // namespace zamel
