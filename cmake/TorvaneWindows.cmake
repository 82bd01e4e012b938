# torvane_use_qt_runtime(): in the calling folder, programs link the MinGW
# runtime DLLs that Qt's DLLs use (libstdc++-6.dll, libgcc_s_seh-1.dll,
# libwinpthread-1.dll) instead of the toolchain's static copy, so that a
# process that loads Qt holds one C++ runtime, one heap and one exception
# model. The command line and the core's tests keep running alone.
macro(torvane_use_qt_runtime)
  if(MINGW)
    string(REGEX REPLACE "-static(-libgcc|-libstdc\\+\\+)?" "" CMAKE_EXE_LINKER_FLAGS
                         "${CMAKE_EXE_LINKER_FLAGS}")
  endif()
endmacro()
