package forms;

import javafx.application.Application;
import javafx.application.Platform;
import javafx.stage.Stage;

/** A JavaFX application without a main method of its own. */
public class FxApp extends Application {
    @Override
    public void start(Stage stage) {
        System.out.println("fx started " + String.join(" ", getParameters().getRaw()));
        Platform.exit();
    }
}
