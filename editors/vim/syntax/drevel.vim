" Vim syntax file
" Language: Drevel (.dv scripts)

if exists("b:current_syntax")
  finish
endif

" Keywords, by role.
syn keyword drevelStatement let def global
syn keyword drevelInclude use as
syn keyword drevelReturn return
syn keyword drevelConditional if else match
syn keyword drevelRepeat while for in break continue
syn keyword drevelException try catch
syn keyword drevelBoolean true false
syn keyword drevelWordOperator and or not

" Builtin functions.
syn keyword drevelBuiltin print input len upper lower slice contains split concat
syn keyword drevelBuiltin push pop reverse abs sqrt pow min max floor ceil round
syn keyword drevelBuiltin random random_range typeof is_number is_string is_array is_dict
syn keyword drevelBuiltin window window_width window_height clear present is_open
syn keyword drevelBuiltin rect circle triangle color fill draw

" The native modules' prefixes: sdl2.create_window, http.serve, files.read, std.sort.
syn match drevelModule "\<\(sdl2\|http\|files\|std\)\ze\."

" Each native module's functions, after its prefix.
syn match drevelModuleFunction "\(\<sdl2\.\)\@<=\(init\|create_window\|destroy_window\|set_window_title\|set_window_mode\|get_window_mode\|clear_screen\|render_present\|set_draw_color\|set_max_fps\|delta_time\|draw_point\|draw_line\|draw_rect\|fill_rect\|draw_circle\|fill_circle\|draw_triangle\|fill_triangle\|get_window_width\|get_window_height\|is_window_open\|get_input_pressed\|get_input_released\|get_input_held\|draw_text\|set_font\|text_width\|get_mouse_x\|get_mouse_y\|draw_image\|play_sound\|play_music\|stop_music\|image_size\)\>"
syn match drevelModuleFunction "\(\<http\.\)\@<=\(page\|serve\|template\|json\|status\|send\|get\|post\|handle\|static\|redirect\|limit\)\>"
syn match drevelModuleFunction "\(\<files\.\)\@<=\(read\|write\|append\|delete\|exists\|create_folder\|delete_folder\|list\|is_file\|is_folder\)\>"
syn match drevelModuleFunction "\(\<std\.\)\@<=\(keys\|values\|has\|get\|set\|remove\|insert\|slice\|index_of\|join\|sort\|sort_by\|map\|filter\|length\|chars\|find\|replace\|trim\|starts_with\|ends_with\|repeat\|pad_left\|pad_right\|lines\|compare\|to_number\|fixed\|args\|exit\|env\|script_folder\|time\|clock\|sleep\|format_time\|parse_json\|to_json\)\>"

" Numbers: 42 and 3.14 (no sign, exponent or hexadecimal).
syn match drevelNumber "\<\d\+\>"
syn match drevelFloat "\<\d\+\.\d\+\>"

" Punctuation and operators; of two matches at one place the later one wins,
" so longer spellings come after their prefixes.
syn match drevelDelimiter "[()[\]{},:;.]"
syn match drevelOperator "[-+*/%=<>!?]"
syn match drevelOperator "\*\*\|[-+*/=!<>]=\|=>\|->\|\.\."

" Strings between double quotes, over several lines; escapes \n \t \r \\ \".
syn match drevelEscape contained "\\[ntr\\\"]"
syn region drevelString start=+"+ skip=+\\\\\|\\"+ end=+"+ contains=drevelEscape

" Comments: # to the end of the line, and /* ... */ (not nested). They come
" last so that "/*" is a comment rather than two operators.
syn match drevelComment "#.*$" contains=drevelTodo
syn region drevelComment start="/\*" end="\*/" contains=drevelTodo
syn keyword drevelTodo contained TODO FIXME XXX

hi def link drevelStatement Statement
hi def link drevelInclude Include
hi def link drevelReturn Statement
hi def link drevelConditional Conditional
hi def link drevelRepeat Repeat
hi def link drevelException Exception
hi def link drevelBoolean Boolean
hi def link drevelWordOperator Operator
hi def link drevelBuiltin Function
hi def link drevelModule Include
hi def link drevelModuleFunction Function
hi def link drevelNumber Number
hi def link drevelFloat Float
hi def link drevelOperator Operator
hi def link drevelDelimiter Delimiter
hi def link drevelEscape SpecialChar
hi def link drevelString String
hi def link drevelComment Comment
hi def link drevelTodo Todo

let b:current_syntax = "drevel"
