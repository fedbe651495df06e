// The graphics module registers its display, drawing, console, font and image commands under
// the exact signatures compiled programs link against, each once.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "runtime/modules.h"

namespace {

std::vector<std::string> names;
void collect(CommandSignature signature, void* entry) {
    EXPECT_NE(entry, nullptr) << signature;
    names.emplace_back(signature);
}

TEST(GraphicsRegistration, EveryDisplayDrawingConsoleFontAndImageCommandOnce) {
    names.clear();
    graphics_link(collect);
    const std::vector<std::string> expected = {
        "%CountGfxDrivers", "$GfxDriverName%driver", "SetGfxDriver%driver", "%CountGfxModes",
        "%GfxModeExists%width%height%depth", "%GfxModeWidth%mode", "%GfxModeHeight%mode", "%GfxModeDepth%mode",
        "%AvailVidMem", "%TotalVidMem", "Graphics%width%height%depth=0%mode=0", "EndGraphics", "%FrontBuffer",
        "%BackBuffer", "%ScanLine", "VWait%frames=1", "Flip%vwait=1", "%GraphicsWidth", "%GraphicsHeight",
        "%GraphicsDepth", "SetBuffer%buffer", "%GraphicsBuffer", "%LoadBuffer%buffer$bmpfile", "%SaveBuffer%buffer$bmpfile",
        "LockBuffer%buffer=0", "UnlockBuffer%buffer=0",
        "%ReadPixel%x%y%buffer=0", "WritePixel%x%y%argb%buffer=0", "%ReadPixelFast%x%y%buffer=0",
        "WritePixelFast%x%y%argb%buffer=0", "CopyPixel%src_x%src_y%src_buffer%dest_x%dest_y%dest_buffer=0",
        "CopyPixelFast%src_x%src_y%src_buffer%dest_x%dest_y%dest_buffer=0", "Origin%x%y",
        "Viewport%x%y%width%height", "Color%red%green%blue", "GetColor%x%y", "%ColorRed", "%ColorGreen",
        "%ColorBlue", "ClsColor%red%green%blue", "SetFont%font", "Cls", "Plot%x%y", "Rect%x%y%width%height%solid=1",
        "Oval%x%y%width%height%solid=1", "Line%x1%y1%x2%y2", "Text%x%y$text%centre_x=0%centre_y=0",
        "CopyRect%source_x%source_y%width%height%dest_x%dest_y%src_buffer=0%dest_buffer=0", "Write$string",
        "Print$string=\"\"", "$Input$prompt=\"\"", "Locate%x%y", "ShowPointer", "HidePointer",
        "%LoadFont$fontname%height=12%bold=0%italic=0%underline=0", "FreeFont%font", "%FontWidth", "%FontHeight",
        "%StringWidth$string", "%StringHeight$string", "%LoadImage$bmpfile", "%CopyImage%image",
        "%CreateImage%width%height%frames=1", "%LoadAnimImage$bmpfile%cellwidth%cellheight%first%count",
        "FreeImage%image", "%SaveImage%image$bmpfile%frame=0", "GrabImage%image%x%y%frame=0",
        "%ImageBuffer%image%frame=0", "DrawImage%image%x%y%frame=0", "DrawBlock%image%x%y%frame=0",
        "TileImage%image%x=0%y=0%frame=0", "TileBlock%image%x=0%y=0%frame=0",
        "DrawImageRect%image%x%y%rect_x%rect_y%rect_width%rect_height%frame=0",
        "DrawBlockRect%image%x%y%rect_x%rect_y%rect_width%rect_height%frame=0", "MaskImage%image%red%green%blue",
        "HandleImage%image%x%y", "MidHandle%image", "AutoMidHandle%enable", "%ImageWidth%image",
        "%ImageHeight%image", "%ImageXHandle%image", "%ImageYHandle%image", "ScaleImage%image#xscale#yscale",
        "ResizeImage%image#width#height", "RotateImage%image#angle", "TFormImage%image#a#b#c#d",
        "TFormFilter%enable", "%ImagesOverlap%image1%x1%y1%image2%x2%y2",
        "%ImagesCollide%image1%x1%y1%frame1%image2%x2%y2%frame2",
        "%RectsOverlap%x1%y1%width1%height1%x2%y2%width2%height2",
        "%ImageRectOverlap%image%x%y%rect_x%rect_y%rect_width%rect_height",
        "%ImageRectCollide%image%x%y%frame%rect_x%rect_y%rect_width%rect_height"};
    for (const std::string& signature : expected) {
        EXPECT_EQ(std::count(names.begin(), names.end(), signature), 1) << signature;
    }
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
}

}  // namespace
