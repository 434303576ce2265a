// Where each control of the panel sits at 96 DPI, in pixels: what the template's dialog units
// give at 96 DPI. At any other scale a control sits at this rectangle scaled (ScaleRect), on the
// patch the artwork of that scale has cut for it; dialog units would drift off it, since their
// base units come from whole-pixel font metrics.
#pragma once
#include <windows.h>

#include "res/resource.h"

struct ControlPlace {
    int id;
    RECT rect;  // left, top, right, bottom at 96 DPI
};

inline constexpr ControlPlace kPanelPlaces96[] = {
    {IDC_RATE_44K1, {143, 268, 189, 315}},
    {IDC_RATE_96K, {287, 268, 333, 315}},
    {IDC_RATE_48K, {191, 268, 237, 315}},
    {IDC_RATE_176K4, {335, 268, 381, 315}},
    {IDC_RATE_192K, {383, 268, 429, 315}},
    {IDC_RATE_88K2, {239, 268, 285, 315}},
    {IDC_DEPTH_24, {195, 229, 241, 267}},
    {IDC_DEPTH_16, {143, 229, 189, 267}},
    {IDC_LBL_HIDDEN, {146, 42, 401, 55}},
    {IDC_LBL_PANEL_VERSION, {173, 50, 428, 76}},
    {IDC_LBL_OS_VERSION, {173, 81, 428, 107}},
    {IDC_LBL_WEB_ADDRESS, {173, 145, 428, 173}},
    {IDC_POWER, {53, 50, 104, 79}},
    {IDC_LBL_COPYRIGHT, {173, 112, 428, 140}},
    {IDC_MUTE_INDICATOR, {527, 265, 574, 313}},
    {IDC_SLIDER_LEFT, {455, 52, 505, 260}},
    {IDC_SLIDER_RIGHT, {516, 52, 566, 260}},
    {IDC_LINK_INDICATOR, {494, 276, 527, 309}},
    {IDC_OUTPUT_SPDIF, {54, 117, 105, 158}},
    {IDC_OUTPUT_SPEAKER, {54, 164, 105, 205}},
    {IDC_DEPTH_32, {248, 229, 294, 267}},
};
