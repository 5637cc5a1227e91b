# Writes the benchmark application's own classes, as an application has
# hundreds of them: COUNT command handlers, each a class of its own with a
# lambda, and the index that registers them all at start-up.
#   cmake -DOUTPUT=<folder> -DCOUNT=<n> -P generate_handlers.cmake
set(package_dir ${OUTPUT}/corvid/bench/handlers)
file(MAKE_DIRECTORY ${package_dir})
set(index "package corvid.bench.handlers;\n\n/** Every handler, registered at start-up. */\npublic final class Handlers {\n    private Handlers() {}\n\n    public static java.util.List<corvid.bench.Handler> all() {\n        java.util.List<corvid.bench.Handler> handlers = new java.util.ArrayList<>();\n")
math(EXPR last "${COUNT} - 1")
foreach(i RANGE ${last})
  string(LENGTH "${i}" length)
  math(EXPR pad "4 - ${length}")
  string(REPEAT "0" ${pad} zeros)
  set(name "Handler${zeros}${i}")
  math(EXPR factor "${i} % 17 + 2")
  file(WRITE ${package_dir}/${name}.java
"package corvid.bench.handlers;

final class ${name} implements corvid.bench.Handler {
    @Override
    public String name() {
        return \"command.${i}\";
    }

    @Override
    public int handle(java.util.Map<String, Integer> context) {
        java.util.function.IntUnaryOperator step = n -> n * ${factor} + name().length();
        return context.merge(name(), step.applyAsInt(context.size()), Integer::sum);
    }
}
")
  string(APPEND index "        handlers.add(new ${name}());\n")
endforeach()
string(APPEND index "        return handlers;\n    }\n}\n")
file(WRITE ${package_dir}/Handlers.java "${index}")
