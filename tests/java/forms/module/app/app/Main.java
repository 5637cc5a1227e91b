package app;

public class Main {
    public static void main(String[] args) {
        System.out.println("module " + Main.class.getModule().getName() + " main, command="
                + System.getProperty("sun.java.command") + ", arguments " + String.join(" ", args));
    }
}
