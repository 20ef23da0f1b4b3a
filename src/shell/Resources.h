#pragma once
// The shell's pictures live in the library's resources, which a static library must register.
void InitShellResources();
