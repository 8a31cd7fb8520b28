# Project-wide warning and sanitizer flags, applied to every target through tarn_setup_target().
function(tarn_setup_target target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(TARN_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

if(TARN_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
