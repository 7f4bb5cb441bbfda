# Warnings are errors on every compiler we build with.
function(torvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
    -Wnon-virtual-dtor -Wcast-align -Wformat=2 -Werror)
endfunction()

# Windows binaries carry their C and C++ runtimes so that they load on a
# machine with nothing else installed.
if(WIN32)
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()
