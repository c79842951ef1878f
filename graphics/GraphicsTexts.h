#pragma once
// Every text of the graphics windows: the conversion dialog and the thumbnails window.

namespace corvane::graphics::texts {

// Convert Graphics
inline constexpr char ConvertCaption[] = "Convert Graphics";
inline constexpr char SelectDestination[] = " Select Destination Folder ";
inline constexpr char SourceFolder[] = "Source Folder:";
inline constexpr char FilesToConvert[] = " Files to be converted  ";
inline constexpr char ConvertTo[] = " Convert to ";
inline constexpr const char* Formats[] = {"BMP", "GIF", "JPEG", "PCX", "PNG", "TIFF"};
inline constexpr char Colors[] = " Colors ";
inline constexpr const char* ColorChoices[] = {"4", "8", "16", "256", "16 Million"};
inline constexpr char JpegQuality[] = " JPEG Quality ";
inline constexpr char QualityLow[] = "Low\r\n(small file)";
inline constexpr char QualityHigh[] = "High\r\n(large file)";
inline constexpr char Convert[] = "Con&vert";
inline constexpr char Cancel[] = "&Cancel";
inline constexpr char Converting[] = " Converting ";
inline constexpr char UnableToConvert[] = "Unable to convert file ";
inline constexpr char Error[] = "Error";
// The picture extensions the dialog converts from.
inline constexpr char ConvertExtensions[] = ".BMP/.GIF/.ICO/.JPG/.JPEG/.PCX/.PNG/.TIF/.TIFF/.WMF/";

// Thumbnails
inline constexpr char ThumbnailCaption[] = "Thumbnails";
inline constexpr char ThumbnailCaptionOpen[] = "Thumbnails [";
inline constexpr char ThumbnailCaptionClose[] = "]";
inline constexpr char ThumbnailSize[] = " Thumbnail Size;  Height";
inline constexpr char ThumbnailWidth[] = "    Width";
inline constexpr char Ok[] = "OK";
inline constexpr char CaptionFont[] = "MS Sans Serif";

} // namespace corvane::graphics::texts
