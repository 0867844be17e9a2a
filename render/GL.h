#pragma once
// The one place render/ includes OpenGL 1.1 and GLU. Everything here draws on the current context
// and never makes a context current itself; the window that owns the context does that.

#include <GL/gl.h>
#include <GL/glu.h>
