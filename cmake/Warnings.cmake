# Warnings are errors everywhere in this tree.
add_compile_options(-Wall -Wextra -Werror)
