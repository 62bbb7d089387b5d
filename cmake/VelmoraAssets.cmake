# Copies the data that ships beside the program into the binary folder, so the build tree
# runs in place, and installs the same layout.
set(VELMORA_ASSETS_DIR ${CMAKE_SOURCE_DIR}/assets)
file(GLOB_RECURSE VELMORA_ASSET_FILES CONFIGURE_DEPENDS
    RELATIVE ${VELMORA_ASSETS_DIR} ${VELMORA_ASSETS_DIR}/*)
set(VELMORA_ASSET_OUTPUTS)
foreach(asset IN LISTS VELMORA_ASSET_FILES)
    # designs/ are compiled into the program as resources; they need no copy.
    if(asset MATCHES "^designs/")
        continue()
    endif()
    set(out ${VELMORA_BIN_DIR}/${asset})
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VELMORA_ASSETS_DIR}/${asset} ${out}
        DEPENDS ${VELMORA_ASSETS_DIR}/${asset} VERBATIM)
    list(APPEND VELMORA_ASSET_OUTPUTS ${out})
endforeach()
add_custom_target(velmora_assets ALL DEPENDS ${VELMORA_ASSET_OUTPUTS})
