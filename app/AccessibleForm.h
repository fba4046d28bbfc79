#pragma once

// Assistive technology sees the window through an interface of its own: the
// window's controls as Qt lists them, less those left out of accessibility
// (the focus-parking box). Installing it once is enough.
void InstallAccessibleForm();
