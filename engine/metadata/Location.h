#pragma once

// Where a picture was taken, as its metadata states it: the EXIF GPS directory, XMP's GPS and
// location properties, and IPTC's place names. A user who shares a picture may want it gone;
// everything else the metadata says (camera, dates, orientation, colour profile) stays.

#include <FreeImage.h>

#include <string>
#include <vector>

#include "engine/formats/ImageFormat.h"
#include "engine/output/ReplacingSave.h"

namespace kavenra {

enum class LocationOutcome {
    Removed,        // the new content holds no location
    NoneFound,      // the file states no location and needs no change
    TooLarge,       // the file is beyond the size Exiv2 is given to hold in memory
    Unreadable,     // Exiv2 could not read the file or refused to write it
    PixelsChanged,  // what Exiv2 wrote decodes to other pixels than the file it was given
    StillThere,     // what Exiv2 wrote still reads as stating a location
};

struct LocationRemoval {
    LocationOutcome outcome = LocationOutcome::Unreadable;
    std::vector<unsigned char> file;  // the new content, when Removed
};

// True for an EXIF, IPTC or XMP key (Exiv2's "Exif.GPSInfo.GPSLatitude", "Xmp.photoshop.City",
// "Xmp.iptcExt.LocationShown[1]/Iptc4xmpExt:City"...) that states where the picture was taken.
bool IsLocationKey(const std::string& key);

// `file`, the content of a JPEG, PNG, TIFF or WebP file, without any location its metadata
// states, whoever wrote it (FreeImage's writers or Exiv2): the whole GPS directory and its
// pointer, XMP's exif:GPS* properties, the IPTC location properties in XMP (Iptc4xmpCore's
// Location and CountryCode, Iptc4xmpExt's LocationCreated and LocationShown, photoshop's City,
// State and Country) and IPTC's own (content location code and name, city, sub-location,
// province or state, country code and name). Never throws; any outcome but Removed leaves `file`
// as it is, and only Removed and NoneFound leave a file free of location.
LocationRemoval RemoveLocation(const std::vector<unsigned char>& file, ImageFormat format);

// Removes the location from the metadata FreeImage keeps with a loaded bitmap, which its writers
// copy into the file they write: the GPS directory, the GPS pointer, the raw EXIF block's GPS
// (the block is rewritten, or dropped where Exiv2 cannot read it), the XMP packet's location (the
// same), IPTC's location tags, and the text chunks that carry a whole metadata block as hex
// ("Raw profile type exif" and its kind). For the writers' copies to hold no location even where
// RemoveLocation cannot run on the written file.
void DropLocation(FIBITMAP& bitmap);

// The change a save makes to a `format` file it has written (ReplacingSave.h): `change`, if any
// (the input's metadata carried in), then RemoveLocation. Where the location cannot be removed
// from what `change` made, the file as written, less its location, goes instead, or the file as
// written: the bitmap saved is to have been through DropLocation, so that FreeImage's copies hold
// none.
WrittenFileChange RemovingLocation(WrittenFileChange change, ImageFormat format);

}  // namespace kavenra
