// A set whose list is lost, damaged or of other disks: the list made again
// from the headers of the compressed files on the disks given. Each header
// carries the file's name in the work folder, its sizes and its piece
// number, so whole files, head files and pieces are found wherever they
// lie; a name copied in its 8.3 short form (README~1) is known by the name
// in its header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/commands/given_disks.h"

struct Salvaged {
  std::string listText;              // a list of the disks given, made from the headers
  std::vector<std::string> missing;  // what a file lacks, one line each (English)
  std::vector<std::string> notes;    // files left out, and why (English)
  uint64_t files = 0;                // whole and cut files found
};

struct ParsedList;

// Reads the header of every file on the disks given (disks without a
// marker are numbered after the others), lists every file once under the
// disk it lies on, and names each piece or head file missing. title: the
// list's title line. listed: the set's own list when one could be read; the
// files it puts on disks not given are named missing too.
Salvaged SalvageList(GivenDisks& given, const std::string& title, const ParsedList* listed);

// The set's own list, when a disk given holds one that can be read and
// passes the checks.
bool ReadOwnList(GivenDisks& given, ParsedList& list);

// The title of a salvage: the list's when there is one, else --title, else
// the name of the first folder or image given. False with a message when
// none can name a game.
bool SalvageTitle(const ParsedList* listed, const std::string& titleOption, bool titleGiven,
                  const std::string& firstOperand, std::string& title, std::string& error);
