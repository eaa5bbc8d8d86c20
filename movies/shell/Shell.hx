import flash.display.Loader;
import flash.display.MovieClip;
import flash.display.Sprite;
import flash.display.StageAlign;
import flash.display.StageScaleMode;
import flash.events.Event;
import flash.events.IOErrorEvent;
import flash.external.ExternalInterface;
import flash.geom.Rectangle;
import flash.net.URLRequest;
import flash.system.ApplicationDomain;
import flash.system.LoaderContext;

/**
	Plays an ActionScript 3 movie (given as the parameter `movie`) and lets the presentation
	component reach its main timeline: the frame on show, stop, back to the first frame, play.
	The movie keeps its own frame rate and is stretched over the whole area.
**/
class Shell {
	static var holder:Sprite;
	static var loader:Loader;

	static function main() {
		var root = flash.Lib.current;
		root.stage.scaleMode = StageScaleMode.NO_SCALE;
		root.stage.align = StageAlign.TOP_LEFT;
		holder = new Sprite();
		loader = new Loader();
		holder.addChild(loader);
		root.addChild(holder);

		loader.contentLoaderInfo.addEventListener(Event.INIT, function(_) {
			root.stage.frameRate = loader.contentLoaderInfo.frameRate;
			fit();
		});
		loader.contentLoaderInfo.addEventListener(IOErrorEvent.IO_ERROR, function(_) {});
		root.stage.addEventListener(Event.RESIZE, function(_) fit());
		var movie:String = Reflect.field(root.loaderInfo.parameters, "movie");
		// A domain of its own: the movie's classes never resolve to the shell's.
		if (movie != null)
			loader.load(new URLRequest(movie), new LoaderContext(false, new ApplicationDomain()));

		if (ExternalInterface.available) {
			ExternalInterface.addCallback("lumaretFrame", function() {
				var t = timeline();
				return t == null ? 0 : frameOnTimeline(t) - 1;
			});
			ExternalInterface.addCallback("lumaretStop", function() {
				var t = timeline();
				if (t != null)
					t.stop();
			});
			ExternalInterface.addCallback("lumaretGotoFirst", function() {
				var t = timeline();
				if (t != null) {
					var scenes = t.scenes;
					if (scenes != null && scenes.length > 1)
						t.gotoAndStop(1, scenes[0].name);
					else
						t.gotoAndStop(1);
				}
			});
			ExternalInterface.addCallback("lumaretPlay", function() {
				var t = timeline();
				if (t != null)
					t.play();
			});
		}
	}

	// The frame counted over the whole main timeline: a movie's scenes each count their frames
	// from 1, so the frames of the scenes before the current one are added.
	static function frameOnTimeline(t:MovieClip):Int {
		var frame = t.currentFrame;
		var scenes = t.scenes;
		var current = t.currentScene;
		if (scenes == null || current == null)
			return frame;
		for (scene in scenes) {
			if (scene.name == current.name)
				break;
			frame += scene.numFrames;
		}
		return frame;
	}

	static function timeline():MovieClip {
		return Std.downcast(loader.content, MovieClip);
	}

	// The movie's own stage, clipped and stretched over the whole area.
	static function fit() {
		var info = loader.contentLoaderInfo;
		if (loader.content == null || info.width == 0 || info.height == 0)
			return;
		holder.scrollRect = new Rectangle(0, 0, info.width, info.height);
		holder.scaleX = flash.Lib.current.stage.stageWidth / info.width;
		holder.scaleY = flash.Lib.current.stage.stageHeight / info.height;
	}
}
