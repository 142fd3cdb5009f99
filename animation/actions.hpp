// The boot animation actions.
#pragma once

// Letter K: writes every frame of an animation file as a numbered BMP picture.
void extract_animation();

// Letter L: builds an animation file from BMP pictures.
void create_animation();
