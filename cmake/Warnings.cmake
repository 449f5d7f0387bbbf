# Warnings for this project's own targets only; consumers of the installed package never see them.
function(lkmdb7_set_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4)
        if(LKMDB7_WERROR)
            target_compile_options(${target} PRIVATE /WX)
        endif()
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                                  -Wsign-conversion -Wnon-virtual-dtor
                                                  -Wold-style-cast -Woverloaded-virtual)
        if(LKMDB7_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
endfunction()
