# Project-wide warning and sanitizer flags, applied to every target through tarn_setup_target().
function(tarn_setup_target target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    # A unity build includes each file into a batch file, so gcc takes a test fixture in an anonymous
    # namespace for a type of a header's and warns that the test class derived from it has internal linkage.
    if(TARN_UNITY AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
    endif()
    if(TARN_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

if(TARN_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
