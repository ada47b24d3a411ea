#pragma once

#include <string>

namespace zamel {

class ReceiverLink;
class Ui;

// The centred line above "Proceed with software upload?" in the "Upload" dialog of
// the automatic upload: the version a pending code file brings, or the map's name.
// A code file whose version cannot be read (binary, or no version record) reads
// "UPDATING TO UNKNOWN VERSION!". A map that is an S-record file asks the map data
// question; after Cancel the line stays empty.
std::string uploadDialogLine(const ReceiverLink& link, Ui& ui);

}  // namespace zamel
