// Arithmetic between the volume sliders (0 = full level, 100 = silence) and endpoint scalar levels.
#pragma once

// Read-out direction: (1.0 - level) * 100.0 in double precision, truncated toward zero, so a
// level of 0.8f reads as 19. Out-of-range levels are clamped into 0..100 and NaN reads as
// silence (100), so a garbage reply can never produce an undefined conversion.
int LevelToSliderPosition(float level);

// Write direction: 1.0f - position / 100.0f, entirely in single precision.
float SliderPositionToLevel(int position);
